// Value formatting for export.
#include "cli/value_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace qar::cli {

std::string base64(const jet::Bytes& b) {
  static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((b.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < b.size(); i += 3) {
    uint32_t v = (b[i] << 16) | (b[i + 1] << 8) | b[i + 2];
    out += table[v >> 18];
    out += table[(v >> 12) & 63];
    out += table[(v >> 6) & 63];
    out += table[v & 63];
  }
  if (i + 1 == b.size()) {
    uint32_t v = b[i] << 16;
    out += table[v >> 18];
    out += table[(v >> 12) & 63];
    out += "==";
  } else if (i + 2 == b.size()) {
    uint32_t v = (b[i] << 16) | (b[i + 1] << 8);
    out += table[v >> 18];
    out += table[(v >> 12) & 63];
    out += table[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

namespace {

// Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
}

template <typename T>
std::string shortest(T v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

// Writes v with at least `width` digits, zero-padded; returns the end.
char* putDigits(char* p, int64_t v, int width) {
  char tmp[24];
  int n = 0;
  do {
    tmp[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v > 0 && n < 20);
  while (n < width) tmp[n++] = '0';
  while (n > 0) *p++ = tmp[--n];
  return p;
}

std::string u128Text(unsigned __int128 v) {
  if (v == 0) return "0";
  std::string s;
  while (v) {
    s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  }
  return s;
}

std::string scaled(bool negative, unsigned __int128 magnitude, unsigned scale) {
  std::string digits = u128Text(magnitude);
  if (scale > 0) {
    if (digits.size() <= scale) digits.insert(0, scale - digits.size() + 1, '0');
    digits.insert(digits.size() - scale, ".");
  }
  return (negative && magnitude != 0 ? "-" : "") + digits;
}

}  // namespace

std::string dateTimeText(double days) {
  if (!std::isfinite(days) || std::fabs(days) > 3.0e6) return shortest(days);  // not a date Access can hold
  // The integer part counts days from 1899-12-30; the fraction is the time of day, also for
  // dates before 1899-12-30 (-1.25 is 1899-12-29 06:00).
  double whole = std::trunc(days);
  int64_t ms = std::llround(std::fabs(days - whole) * 86400000.0);
  int64_t day = static_cast<int64_t>(whole);
  if (ms >= 86400000) {
    ms -= 86400000;
    day += days < 0 ? -1 : 1;
  }
  int64_t y;
  unsigned m, d;
  civilFromDays(day - jet::kUnixEpochDay, y, m, d);
  // Formatted by hand into one buffer: this runs once per date of every exported row.
  char buf[32];
  char* p = buf;
  if (y < 0) {
    *p++ = '-';
    y = -y;
  }
  p = putDigits(p, y, 4);
  *p++ = '-';
  p = putDigits(p, m, 2);
  *p++ = '-';
  p = putDigits(p, d, 2);
  *p++ = ' ';
  p = putDigits(p, ms / 3600000, 2);
  *p++ = ':';
  p = putDigits(p, ms / 60000 % 60, 2);
  *p++ = ':';
  p = putDigits(p, ms / 1000 % 60, 2);
  if (ms % 1000) {
    *p++ = '.';
    p = putDigits(p, ms % 1000, 3);
  }
  return std::string(buf, p);
}

std::string currencyText(int64_t v) {
  bool negative = v < 0;
  unsigned __int128 mag = negative ? static_cast<unsigned __int128>(-(v + 1)) + 1 : static_cast<unsigned __int128>(v);
  return scaled(negative, mag, 4);
}

std::string decimalText(const jet::Decimal& d) { return scaled(d.negative, d.magnitude, d.scale); }

std::string guidText(const jet::Guid& g) {
  const auto& order = jet::kGuidWrittenOrder;
  std::string s = "{";
  char buf[3];
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) s += '-';
    std::snprintf(buf, sizeof buf, "%02X", g.bytes[order[i]]);
    s += buf;
  }
  return s + "}";
}

std::string floatText(float f) { return shortest(f); }
std::string doubleText(double d) { return shortest(d); }

void appendValueText(std::string& out, const jet::Value& value, bool csvQuoting) {
  if (const auto* s = std::get_if<std::string>(&value)) {
    if (csvQuoting) {
      out += csvField(*s);
    } else {
      out += *s;
    }
    return;
  }
  if (const auto* i = std::get_if<int32_t>(&value)) {
    char buf[16];
    auto r = std::to_chars(buf, buf + sizeof buf, *i);
    out.append(buf, r.ptr);
    return;
  }
  out += valueText(value);  // nothing else needs quoting
}

std::string valueText(const jet::Value& value) {
  struct Visitor {
    std::string operator()(jet::Null) const { return ""; }
    std::string operator()(bool b) const { return b ? "true" : "false"; }
    std::string operator()(uint8_t v) const { return std::to_string(v); }
    std::string operator()(int16_t v) const { return std::to_string(v); }
    std::string operator()(int32_t v) const { return std::to_string(v); }
    std::string operator()(const jet::Currency& c) const { return currencyText(c.scaled); }
    std::string operator()(float f) const { return floatText(f); }
    std::string operator()(double d) const { return doubleText(d); }
    std::string operator()(const jet::DateTime& d) const { return dateTimeText(d.days); }
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(const jet::Bytes& b) const { return base64(b); }
    std::string operator()(const jet::Guid& g) const { return guidText(g); }
    std::string operator()(const jet::Decimal& d) const { return decimalText(d); }
  };
  return std::visit(Visitor{}, value);
}

std::string jsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string valueJson(const jet::Value& value) {
  if (std::holds_alternative<jet::Null>(value)) return "null";
  if (auto* b = std::get_if<bool>(&value)) return *b ? "true" : "false";
  if (std::holds_alternative<uint8_t>(value) || std::holds_alternative<int16_t>(value) ||
      std::holds_alternative<int32_t>(value)) {
    return valueText(value);
  }
  if (auto* f = std::get_if<float>(&value)) return std::isfinite(*f) ? floatText(*f) : jsonString(floatText(*f));
  if (auto* d = std::get_if<double>(&value)) return std::isfinite(*d) ? doubleText(*d) : jsonString(doubleText(*d));
  return jsonString(valueText(value));
}

std::string csvField(const std::string& text) {
  bool plain = true;
  for (char c : text) {
    if (c == ',' || c == '"' || c == '\r' || c == '\n') {
      plain = false;
      break;
    }
  }
  if (plain) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace qar::cli
