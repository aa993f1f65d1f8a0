// Value conversions shared by fields and the key index.
#include "data/fieldvalues.h"

#include <charconv>
#include <cmath>

namespace qar::data {
namespace {

unsigned __int128 pow10(int n) {
  unsigned __int128 p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

// Divides rounding half away from zero (decimals round as amounts do).
unsigned __int128 divideRounded(unsigned __int128 value, unsigned __int128 divisor) {
  unsigned __int128 q = value / divisor;
  if ((value % divisor) * 2 >= divisor) ++q;
  return q;
}

int hexDigit(QChar c) {
  char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

}  // namespace

double singleAsDouble(float value) {
  if (!std::isfinite(value)) return value;
  char buf[40];
  for (int digits = 6; digits <= 9; ++digits) {
    auto res = std::to_chars(buf, buf + sizeof buf, double{value}, std::chars_format::general, digits);
    double d = 0;
    std::from_chars(buf, res.ptr, d);
    if (static_cast<float>(d) == value) return d;
  }
  return value;
}

QString guidText(const jet::Guid& g) {
  // Windows GUID layout: Data1 (4 bytes LE), Data2 (2 LE), Data3 (2 LE), Data4 (8 bytes).
  const auto& kOrder = jet::kGuidWrittenOrder;
  static constexpr const char* kHex = "0123456789ABCDEF";
  QString out = QStringLiteral("{");
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += u'-';
    uint8_t b = g.bytes[kOrder[i]];
    out += QChar(kHex[b >> 4]);
    out += QChar(kHex[b & 15]);
  }
  return out + u'}';
}

std::optional<jet::Guid> parseGuid(const QString& text) {
  QString t = text.trimmed();
  if (t.startsWith(u'{') && t.endsWith(u'}')) t = t.mid(1, t.size() - 2);
  if (t.size() != 36) return std::nullopt;
  const auto& kOrder = jet::kGuidWrittenOrder;
  jet::Guid g;
  int byte = 0;
  for (qsizetype i = 0; i < t.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (t[i] != u'-') return std::nullopt;
      ++i;
      continue;
    }
    int hi = hexDigit(t[i]), lo = hexDigit(t[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    g.bytes[kOrder[byte++]] = static_cast<uint8_t>(hi * 16 + lo);
    i += 2;
  }
  return g;
}

Variant decimalAsVariant(const jet::Decimal& d) {
  const auto limit = static_cast<unsigned __int128>(INT64_MAX);
  if (d.scale == 0 && d.magnitude <= limit) {
    auto v = static_cast<int64_t>(d.magnitude);
    return Variant(d.negative ? -v : v);
  }
  unsigned __int128 scaled = d.scale <= 4 ? d.magnitude * pow10(4 - d.scale)
                                          : divideRounded(d.magnitude, pow10(d.scale - 4));
  bool fits = d.scale <= 4 ? d.magnitude <= limit / pow10(4 - d.scale) : scaled <= limit;
  if (fits) {
    auto v = static_cast<int64_t>(scaled);
    return Variant(Currency{d.negative ? -v : v});
  }
  long double v = static_cast<long double>(d.magnitude) / static_cast<long double>(pow10(d.scale));
  return Variant(static_cast<double>(d.negative ? -v : v));
}

std::optional<jet::Decimal> currencyToDecimal(jet::Currency value, int precision, int scale) {
  jet::Decimal d;
  d.negative = value.scaled < 0;
  d.scale = static_cast<uint8_t>(scale);
  unsigned __int128 magnitude = d.negative ? 0 - static_cast<uint64_t>(value.scaled) : static_cast<uint64_t>(value.scaled);
  d.magnitude = scale >= 4 ? magnitude * pow10(scale - 4) : divideRounded(magnitude, pow10(4 - scale));
  if (precision > 0 && precision <= 38 && d.magnitude >= pow10(precision)) return std::nullopt;
  if (d.magnitude == 0) d.negative = false;
  return d;
}

std::optional<int64_t> roundToInteger(double value) {
  if (!std::isfinite(value) || value >= 9223372036854775808.0 || value < -9223372036854775808.0)
    return std::nullopt;
  double r = std::nearbyint(value);  // the default rounding mode rounds half to even
  if (r >= 9223372036854775808.0) return std::nullopt;
  return static_cast<int64_t>(r);
}

}  // namespace qar::data
