// Checking and encoding of single column values for rows of Jet 3 and Jet 4 files.
#include "jet/write/value_encoder.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "jet/error.h"
#include "jet/write/code_page_text.h"

namespace jet::write {
namespace {

[[noreturn]] void invalid(const Column& column, const std::string& what) {
  throw Error(ErrorKind::Invalid, "column '" + column.name + "': " + what);
}

std::string kindOf(const Value& value) {
  static const char* const names[] = {"Null",     "Yes/No",   "Byte",   "Integer", "Long",
                                      "Currency", "Single",   "Double", "Date/Time",
                                      "text",     "bytes",    "Replication ID", "Decimal"};
  return names[value.index()];
}

[[noreturn]] void wrongKind(const Column& column, const Value& value) {
  invalid(column, "a " + kindOf(value) + " value does not fit a " +
                      std::string(kindName(column.kind, column.autoNumber)) + " column");
}

std::optional<int64_t> asInteger(const Value& value) {
  if (auto* v = std::get_if<uint8_t>(&value)) return *v;
  if (auto* v = std::get_if<int16_t>(&value)) return *v;
  if (auto* v = std::get_if<int32_t>(&value)) return *v;
  return std::nullopt;
}

int64_t integerInRange(const Column& column, const Value& value, int64_t lo, int64_t hi) {
  auto v = asInteger(value);
  if (!v) wrongKind(column, value);
  if (*v < lo || *v > hi) {
    invalid(column, std::to_string(*v) + " is out of range (" + std::to_string(lo) + " to " +
                        std::to_string(hi) + ")");
  }
  return *v;
}

std::optional<double> asReal(const Value& value) {
  if (auto* v = std::get_if<float>(&value)) return *v;
  if (auto* v = std::get_if<double>(&value)) return *v;
  if (auto i = asInteger(value)) return static_cast<double>(*i);
  return std::nullopt;
}

using U128 = unsigned __int128;

U128 pow10(int n) {
  U128 r = 1;
  for (int i = 0; i < n; ++i) r *= 10;
  return r;
}

int digitCount(U128 v) {
  int n = 0;
  while (v != 0) {
    v /= 10;
    ++n;
  }
  return n;
}

Decimal asDecimal(const Column& column, const Value& value) {
  if (auto* d = std::get_if<Decimal>(&value)) return *d;
  if (auto i = asInteger(value)) {
    Decimal d;
    d.negative = *i < 0;
    d.magnitude = static_cast<U128>(*i < 0 ? -*i : *i);
    return d;
  }
  wrongKind(column, value);
}

// Rescales to the column's scale and checks its precision; the stored magnitude.
U128 decimalMagnitude(const Column& column, const Decimal& d) {
  U128 m = d.magnitude;
  if (d.scale > 28 || digitCount(m) > 28) invalid(column, "the decimal value has more than 28 digits");
  if (d.scale > column.scale) {
    U128 div = pow10(d.scale - column.scale);
    if (m % div != 0) {
      invalid(column, "the value has more than " + std::to_string(column.scale) +
                          " digits after the decimal point");
    }
    m /= div;
  } else if (d.scale < column.scale) {
    m *= pow10(column.scale - d.scale);
  }
  int precision = column.precision == 0 ? 28 : column.precision;
  if (digitCount(m) > precision) {
    invalid(column, "the value has more digits than the column's precision of " +
                        std::to_string(precision));
  }
  return m;
}

void checkUtf16Length(const Column& column, size_t units, size_t maxUnits) {
  if (units > maxUnits) {
    invalid(column, "text of " + std::to_string(units) + " characters is longer than the column's " +
                        std::to_string(maxUnits));
  }
}

double fixedDateTime = -1.0;

}  // namespace

void setFixedDateTimeForTesting(double value) { fixedDateTime = value; }

double currentDateTime() {
  if (fixedDateTime >= 0) return fixedDateTime;
  using namespace std::chrono;
  double seconds = duration<double>(system_clock::now().time_since_epoch()).count();
  return static_cast<double>(kUnixEpochDay) + seconds / 86400.0;
}

int fixedWidth(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::Byte: return 1;
    case ColumnKind::Integer: return 2;
    case ColumnKind::Long: return 4;
    case ColumnKind::Single: return 4;
    case ColumnKind::Currency:
    case ColumnKind::Double:
    case ColumnKind::DateTime: return 8;
    case ColumnKind::ReplicationID: return 16;
    case ColumnKind::Decimal: return 17;
    default: return 0;
  }
}

bool isVariableKind(ColumnKind kind) {
  return kind == ColumnKind::Text || kind == ColumnKind::Binary || kind == ColumnKind::Memo ||
         kind == ColumnKind::OLE;
}

bool isLongValueKind(ColumnKind kind) { return kind == ColumnKind::Memo || kind == ColumnKind::OLE; }

namespace {

// The code point of the multi-byte UTF-8 sequence at s[i] (s[i] >= 0x80) and its length;
// 0 when the bytes there are not UTF-8 (overlong forms and surrogates included).
inline size_t decodeSequence(std::string_view s, size_t i, uint32_t& cp) {
  const auto c = static_cast<uint8_t>(s[i]);
  size_t extra;
  if ((c & 0xE0) == 0xC0) {
    cp = c & 0x1F;
    extra = 1;
  } else if ((c & 0xF0) == 0xE0) {
    cp = c & 0x0F;
    extra = 2;
  } else if ((c & 0xF8) == 0xF0) {
    cp = c & 0x07;
    extra = 3;
  } else {
    return 0;
  }
  if (i + extra >= s.size()) return 0;
  for (size_t k = 1; k <= extra; ++k) {
    const auto cc = static_cast<uint8_t>(s[i + k]);
    if ((cc & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (cc & 0x3F);
  }
  static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return extra + 1;
}

[[noreturn]] void notUtf8(size_t at) {
  throw Error(ErrorKind::Invalid, "text is not valid UTF-8 (byte " + std::to_string(at) + ")");
}

// How many of the eight bytes of s from i (when there are eight) lead as ASCII, and whether
// one of those is zero.
inline size_t asciiRun(std::string_view s, size_t i, bool& zero) {
  if (i + 8 > s.size()) return 0;
  uint64_t eight;
  std::memcpy(&eight, s.data() + i, 8);
  const uint64_t high = eight & 0x8080808080808080ull;
  const size_t run = high ? static_cast<size_t>(std::countr_zero(high)) / 8 : 8;
  // The lowest flagged byte is the first zero byte (flags above it may be false).
  const uint64_t zeros = (eight - 0x0101010101010101ull) & ~eight & 0x8080808080808080ull;
  if (zeros && static_cast<size_t>(std::countr_zero(zeros)) / 8 < run) zero = true;
  return run;
}

// Writes the UTF-8 text s into out as UTF-16LE, refusing text that is not UTF-8 (naming its
// first bad byte); returns the number of units. narrow: whether every unit is U+0001 to
// U+00FF (the characters Unicode compression stores in one byte).
size_t putUtf16(std::string_view s, std::vector<uint8_t>& out, bool& narrow) {
  out.resize(2 * s.size() + 16);  // at most one unit (two bytes) per byte; room for a block
  uint8_t* const begin = out.data();
  uint8_t* o = begin;
  bool zero = false;
  uint32_t high = 0;  // the units' high bytes, or-ed
  for (size_t i = 0; i < s.size();) {
    // ASCII leading the next eight bytes widens as a block: all eight are written, the run
    // is kept (out has room past its end).
    if (const size_t run = asciiRun(s, i, zero)) {
#if defined(__SSE2__)
      const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s.data() + i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(bytes, _mm_setzero_si128()));
#else
      for (size_t k = 0; k < 8; ++k) o[2 * k] = static_cast<uint8_t>(s[i + k]), o[2 * k + 1] = 0;
#endif
      o += 2 * run;
      i += run;
      continue;
    }
    uint32_t cp = static_cast<uint8_t>(s[i]);
    size_t length = 1;
    if (cp >= 0x80) {
      length = decodeSequence(s, i, cp);
      if (length == 0) notUtf8(i);
    }
    zero = zero || cp == 0;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      const uint32_t lead = 0xD800 + (cp >> 10), trail = 0xDC00 + (cp & 0x3FF);
      *o++ = static_cast<uint8_t>(lead), *o++ = static_cast<uint8_t>(lead >> 8);
      *o++ = static_cast<uint8_t>(trail), *o++ = static_cast<uint8_t>(trail >> 8);
      high = 0xFF;
    } else {
      *o++ = static_cast<uint8_t>(cp), *o++ = static_cast<uint8_t>(cp >> 8);
      high |= cp >> 8;
    }
    i += length;
  }
  out.resize(static_cast<size_t>(o - begin));
  narrow = !zero && high == 0;
  return out.size() / 2;
}

// Turns the UTF-16LE units in out (more than two, all U+0001 to U+00FF) into Unicode
// compression's form: 0xFF 0xFE, then a byte a character. In place: from the third unit on,
// each unit's byte moves down to a place already read.
void compressInPlace(std::vector<uint8_t>& out) {
  const size_t units = out.size() / 2;
  const uint8_t first = out[0], second = out[2];
  for (size_t k = 2; k < units; ++k) out[2 + k] = out[2 * k];
  out[0] = 0xFF;
  out[1] = 0xFE;
  out[2] = first;
  out[3] = second;
  out.resize(units + 2);
}

}  // namespace

std::u16string utf8ToUtf16(std::string_view s) {
  std::vector<uint8_t> bytes;
  bool narrow = false;
  const size_t units = putUtf16(s, bytes, narrow);
  std::u16string out(units, u'\0');
  for (size_t k = 0; k < units; ++k) out[k] = static_cast<char16_t>(bytes[2 * k] | (bytes[2 * k + 1] << 8));
  return out;
}

std::vector<uint8_t> encodeJet4Text(const std::u16string& text, bool allowCompression) {
  bool compressible = allowCompression && text.size() > 2;
  if (compressible) {
    for (char16_t c : text) {
      if (c < 0x01 || c > 0xFF) {
        compressible = false;
        break;
      }
    }
  }
  if (compressible) {
    std::vector<uint8_t> out(text.size() + 2);
    out[0] = 0xFF;
    out[1] = 0xFE;
    for (size_t k = 0; k < text.size(); ++k) out[k + 2] = static_cast<uint8_t>(text[k]);
    return out;
  }
  std::vector<uint8_t> out(text.size() * 2);
  for (size_t k = 0; k < text.size(); ++k) {
    out[2 * k] = static_cast<uint8_t>(text[k] & 0xFF);
    out[2 * k + 1] = static_cast<uint8_t>(text[k] >> 8);
  }
  return out;
}

bool yesNoValue(const Column& column, const Value& value) {
  if (auto* b = std::get_if<bool>(&value)) return *b;
  if (auto i = asInteger(value)) return *i != 0;
  wrongKind(column, value);
}

std::vector<uint8_t> encodeFixedValue(const Column& column, const Value& value) {
  std::vector<uint8_t> out;
  encodeFixedValueInto(column, value, out);
  return out;
}

size_t encodeKnownFixedValue(const Column& column, const Value& value, uint8_t* out) {
  auto put = [&](uint64_t v, int width, size_t at = 0) {
    for (int i = 0; i < width; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    return at + static_cast<size_t>(width);
  };
  switch (column.kind) {
    case ColumnKind::Byte:
      return put(static_cast<uint64_t>(integerInRange(column, value, 0, 255)), 1);
    case ColumnKind::Integer:
      return put(static_cast<uint64_t>(integerInRange(column, value, -32768, 32767)), 2);
    case ColumnKind::Long:
      return put(static_cast<uint64_t>(integerInRange(column, value, INT32_MIN, INT32_MAX)), 4);
    case ColumnKind::Currency: {
      int64_t scaled;
      if (auto* c = std::get_if<Currency>(&value)) {
        scaled = c->scaled;
      } else if (auto i = asInteger(value)) {
        scaled = *i * 10000;
      } else {
        wrongKind(column, value);
      }
      return put(static_cast<uint64_t>(scaled), 8);
    }
    case ColumnKind::Single: {
      auto r = asReal(value);
      if (!r) wrongKind(column, value);
      if (std::isfinite(*r) && std::fabs(*r) > std::numeric_limits<float>::max()) {
        invalid(column, "the value is out of the range of a Single");
      }
      return put(std::bit_cast<uint32_t>(static_cast<float>(*r)), 4);
    }
    case ColumnKind::Double: {
      auto r = asReal(value);
      if (!r) wrongKind(column, value);
      return put(std::bit_cast<uint64_t>(*r), 8);
    }
    case ColumnKind::DateTime: {
      auto* d = std::get_if<DateTime>(&value);
      if (!d) wrongKind(column, value);
      if (!std::isfinite(d->days)) invalid(column, "the date is not a finite number");
      return put(std::bit_cast<uint64_t>(d->days), 8);
    }
    case ColumnKind::ReplicationID: {
      auto* g = std::get_if<Guid>(&value);
      if (!g) wrongKind(column, value);
      std::copy(g->bytes.begin(), g->bytes.end(), out);
      return g->bytes.size();
    }
    case ColumnKind::Decimal: {
      Decimal d = asDecimal(column, value);
      U128 m = decimalMagnitude(column, d);
      out[0] = d.negative && m != 0 ? 0x80 : 0x00;
      // Four 32-bit groups, most significant first, each little-endian.
      size_t at = 1;
      for (int group = 3; group >= 0; --group) at = put(static_cast<uint32_t>(m >> (32 * group)), 4, at);
      return at;
    }
    default:
      invalid(column, "is not a fixed-length column");
  }
}

void encodeFixedValueInto(const Column& column, const Value& value, std::vector<uint8_t>& out) {
  if (column.unknownKind) {
    auto* b = std::get_if<Bytes>(&value);
    if (!b) wrongKind(column, value);
    if (b->size() != column.size) {
      invalid(column, "needs exactly " + std::to_string(column.size) + " bytes, got " +
                          std::to_string(b->size()));
    }
    out.assign(b->begin(), b->end());
    return;
  }
  uint8_t bytes[kMaxKnownFixedBytes];
  out.assign(bytes, bytes + encodeKnownFixedValue(column, value, bytes));
}

std::vector<uint8_t> encodeVariableValue(const Column& column, const Value& value, const TextCoding& coding) {
  std::vector<uint8_t> out;
  encodeVariableValueInto(column, value, coding, out);
  return out;
}

void encodeVariableValueInto(const Column& column, const Value& value, const TextCoding& coding,
                             std::vector<uint8_t>& out) {
  const bool codePageText = coding.format == Format::Jet3;
  switch (column.unknownKind ? ColumnKind::Binary : column.kind) {
    case ColumnKind::Text: {
      auto* s = std::get_if<std::string>(&value);
      if (!s) wrongKind(column, value);
      if (codePageText) {
        std::vector<uint8_t> bytes = encodeCodePageText(column, *s, coding.codePage);
        if (bytes.size() > column.size) {
          invalid(column, "text of " + std::to_string(bytes.size()) + " characters (code page bytes) is longer than the column's " +
                              std::to_string(column.size));
        }
        out = std::move(bytes);
        return;
      }
      bool narrow = false;
      const size_t units = putUtf16(*s, out, narrow);
      checkUtf16Length(column, units, column.size / 2u);
      if (column.compressedText && narrow && units > 2) compressInPlace(out);
      return;
    }
    case ColumnKind::Memo: {
      auto* s = std::get_if<std::string>(&value);
      if (!s) wrongKind(column, value);
      if (codePageText) {
        std::vector<uint8_t> bytes = encodeCodePageText(column, *s, coding.codePage);
        if (bytes.size() > kMaxLongValueBytes) invalid(column, "the text is too long for a Memo");
        out = std::move(bytes);
        return;
      }
      bool narrow = false;
      const size_t units = putUtf16(*s, out, narrow);
      if (units * 2 > kMaxLongValueBytes) invalid(column, "the text is too long for a Memo");
      // Access compresses long texts only up to this many characters.
      if (column.compressedText && units <= 1024 && narrow && units > 2) compressInPlace(out);
      return;
    }
    case ColumnKind::Binary: {
      auto* b = std::get_if<Bytes>(&value);
      if (!b) wrongKind(column, value);
      if (b->size() > column.size) {
        invalid(column, std::to_string(b->size()) + " bytes are more than the column's " +
                            std::to_string(column.size));
      }
      out.assign(b->begin(), b->end());
      return;
    }
    case ColumnKind::OLE: {
      auto* b = std::get_if<Bytes>(&value);
      if (!b) wrongKind(column, value);
      if (b->size() > kMaxLongValueBytes) invalid(column, "the value is too long for an OLE object");
      out.assign(b->begin(), b->end());
      return;
    }
    default:
      invalid(column, "is not a variable-length column");
  }
}

void checkValue(const Column& column, const Value& value, const TextCoding& coding) {
  if (isNull(value)) return;
  if (column.kind == ColumnKind::YesNo && !column.unknownKind) {
    yesNoValue(column, value);
  } else if (column.fixed) {
    encodeFixedValue(column, value);
  } else {
    encodeVariableValue(column, value, coding);
  }
}

}  // namespace jet::write
