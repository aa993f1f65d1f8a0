// Parsing the text forms of values (the inverse of value_text.cpp).
#include "cli/value_parse.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>


namespace qar::cli {
namespace {

[[noreturn]] void bad(const std::string& what) { throw std::invalid_argument(what); }

int64_t parseInteger(const std::string& s, int64_t lo, int64_t hi) {
  if (s.empty()) bad("empty number");
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(s.c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE || v < lo || v > hi) {
    bad("'" + s + "' is not a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
  }
  return v;
}

// "-123.4500" -> sign, digits, digits after the point.
jet::Decimal parseDecimalText(const std::string& s) {
  jet::Decimal d;
  size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) d.negative = s[i++] == '-';
  bool digits = false, point = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9') bad("'" + s + "' is not a decimal number");
    digits = true;
    if (d.magnitude > (~static_cast<unsigned __int128>(0)) / 10 - 10) bad("'" + s + "' has too many digits");
    d.magnitude = d.magnitude * 10 + static_cast<unsigned>(c - '0');
    if (point) ++d.scale;
  }
  if (!digits) bad("'" + s + "' is not a decimal number");
  return d;
}

int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

double parseDateTime(const std::string& s) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0, ms = 0;
  char tail = 0;
  int n = std::sscanf(s.c_str(), "%d-%d-%d %d:%d:%d.%3d%c", &y, &mo, &d, &h, &mi, &se, &ms, &tail);
  bool ok = (n == 3 && s.find(' ') == std::string::npos) || n == 6 || n == 7;
  if (!ok || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || se > 59 || h < 0 || mi < 0 || se < 0) {
    bad("'" + s + "' is not a date and time (YYYY-MM-DD HH:MM:SS)");
  }
  int64_t day = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) + jet::kUnixEpochDay;
  double time = (h * 3600.0 + mi * 60.0 + se + ms / 1000.0) / 86400.0;
  return day >= 0 ? static_cast<double>(day) + time : static_cast<double>(day) - time;
}

jet::Bytes parseBase64(const std::string& s) {
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  jet::Bytes out;
  uint32_t acc = 0;
  int bits = 0;
  size_t i = 0;
  for (; i < s.size() && s[i] != '='; ++i) {
    int v = value(s[i]);
    if (v < 0) bad("the bytes are not valid base64");
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<uint8_t>(acc >> bits));
    }
  }
  for (; i < s.size(); ++i) {
    if (s[i] != '=') bad("the bytes are not valid base64");
  }
  return out;
}

jet::Guid parseGuid(const std::string& s) {
  const auto& order = jet::kGuidWrittenOrder;
  std::string hex;
  for (char c : s) {
    if (c == '{' || c == '}' || c == '-') continue;
    hex += c;
  }
  if (hex.size() != 32) bad("'" + s + "' is not a replication ID");
  jet::Guid g;
  for (int i = 0; i < 16; ++i) {
    char* end = nullptr;
    std::string byte = hex.substr(static_cast<size_t>(i) * 2, 2);
    long v = std::strtol(byte.c_str(), &end, 16);
    if (*end != '\0') bad("'" + s + "' is not a replication ID");
    g.bytes[order[i]] = static_cast<uint8_t>(v);
  }
  return g;
}

double parseReal(const std::string& s) {
  if (s.empty()) bad("empty number");
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (*end != '\0') bad("'" + s + "' is not a number");
  return v;
}

}  // namespace

jet::Value parseValueText(const jet::Column& column, const std::string& text) {
  if (column.unknownKind) return parseBase64(text);
  switch (column.kind) {
    case jet::ColumnKind::YesNo:
      if (text == "true" || text == "True" || text == "-1" || text == "1") return true;
      if (text == "false" || text == "False" || text == "0") return false;
      bad("'" + text + "' is not true or false");
    case jet::ColumnKind::Byte: return static_cast<uint8_t>(parseInteger(text, 0, 255));
    case jet::ColumnKind::Integer: return static_cast<int16_t>(parseInteger(text, -32768, 32767));
    case jet::ColumnKind::Long:
      return static_cast<int32_t>(parseInteger(text, std::numeric_limits<int32_t>::min(),
                                               std::numeric_limits<int32_t>::max()));
    case jet::ColumnKind::Currency: {
      jet::Decimal d = parseDecimalText(text);
      if (d.scale > 4) bad("'" + text + "' has more than 4 decimals");
      unsigned __int128 m = d.magnitude;
      for (int i = d.scale; i < 4; ++i) m *= 10;
      if (m > static_cast<unsigned __int128>(std::numeric_limits<int64_t>::max())) bad("'" + text + "' is too large");
      int64_t v = static_cast<int64_t>(m);
      return jet::Currency{d.negative ? -v : v};
    }
    case jet::ColumnKind::Single: {
      double v = parseReal(text);
      if (std::isfinite(v) && std::fabs(v) > std::numeric_limits<float>::max()) bad("'" + text + "' is too large");
      return static_cast<float>(v);
    }
    case jet::ColumnKind::Double: return parseReal(text);
    case jet::ColumnKind::DateTime: return jet::DateTime{parseDateTime(text)};
    case jet::ColumnKind::Text:
    case jet::ColumnKind::Memo: return text;
    case jet::ColumnKind::OLE:
    case jet::ColumnKind::Binary: return parseBase64(text);
    case jet::ColumnKind::ReplicationID: return parseGuid(text);
    case jet::ColumnKind::Decimal: return parseDecimalText(text);
  }
  bad("unknown column kind");
}

}  // namespace qar::cli
