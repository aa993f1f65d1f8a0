// Parsing the text forms of values, CSV records and JSON Lines records.
#include "cli/value_parse.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>

#include "jet/text.h"

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

std::vector<Record> parseCsv(const std::string& text) {
  std::vector<Record> records;
  size_t i = 0, line = 1;
  while (i < text.size()) {
    Record rec;
    rec.line = line;
    bool endOfRecord = false;
    while (!endOfRecord) {
      Field field;
      bool quoted = false;
      if (i < text.size() && text[i] == '"') {
        quoted = true;
        std::string value;
        ++i;
        while (true) {
          if (i >= text.size()) bad("line " + std::to_string(rec.line) + ": a quoted field is not closed");
          char c = text[i++];
          if (c == '"') {
            if (i < text.size() && text[i] == '"') {
              value += '"';
              ++i;
            } else {
              break;
            }
          } else {
            if (c == '\n') ++line;
            value += c;
          }
        }
        field = value;
      } else {
        std::string value;
        while (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r') {
          if (text[i] == '"') bad("line " + std::to_string(line) + ": a quote inside an unquoted field");
          value += text[i++];
        }
        if (!value.empty()) field = value;
      }
      rec.fields.push_back(field);
      rec.quoted.push_back(quoted);
      if (i >= text.size()) {
        endOfRecord = true;
      } else if (text[i] == ',') {
        ++i;
      } else if (text[i] == '\r' || text[i] == '\n') {
        if (text[i] == '\r') ++i;
        if (i < text.size() && text[i] == '\n') ++i;
        ++line;
        endOfRecord = true;
      } else {
        bad("line " + std::to_string(line) + ": text after a quoted field");
      }
    }
    records.push_back(std::move(rec));
  }
  return records;
}

namespace {

struct JsonReader {
  const std::string& s;
  size_t i = 0;
  size_t line;
  [[noreturn]] void fail(const std::string& what) {
    bad("line " + std::to_string(line) + ": " + what);
  }
  void ws() {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r')) ++i;
  }
  bool match(const char* word) {
    size_t n = std::char_traits<char>::length(word);
    if (s.compare(i, n, word) == 0) {
      i += n;
      return true;
    }
    return false;
  }
  std::string string() {
    std::string out;
    ++i;  // opening quote
    while (true) {
      if (i >= s.size()) fail("a string is not closed");
      char c = s[i++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i >= s.size()) fail("a string is not closed");
      char e = s[i++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          auto hex4 = [&]() -> uint32_t {
            if (i + 4 > s.size()) fail("a \\u escape is cut short");
            char* end = nullptr;
            std::string h = s.substr(i, 4);
            uint32_t v = static_cast<uint32_t>(std::strtoul(h.c_str(), &end, 16));
            if (*end != '\0') fail("a \\u escape is not hexadecimal");
            i += 4;
            return v;
          };
          uint32_t cp = hex4();
          if (cp >= 0xD800 && cp < 0xDC00 && s.compare(i, 2, "\\u") == 0) {
            i += 2;
            uint32_t low = hex4();
            if (low >= 0xDC00 && low < 0xE000) cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          jet::appendUtf8(out, cp);
          break;
        }
        default: fail("unknown escape in a string");
      }
    }
  }
};

}  // namespace

std::vector<Record> parseJsonLines(const std::string& text) {
  std::vector<Record> records;
  size_t lineStart = 0, line = 1;
  while (lineStart < text.size()) {
    size_t end = text.find('\n', lineStart);
    if (end == std::string::npos) end = text.size();
    std::string lineText = text.substr(lineStart, end - lineStart);
    JsonReader r{lineText, 0, line};
    r.ws();
    if (r.i < lineText.size()) {
      Record rec;
      rec.line = line;
      if (lineText[r.i] != '[') r.fail("expected a JSON array");
      ++r.i;
      r.ws();
      bool first = true;
      while (true) {
        r.ws();
        if (r.i < lineText.size() && lineText[r.i] == ']' && first) {
          ++r.i;
          break;
        }
        if (r.i >= lineText.size()) r.fail("the array is not closed");
        char c = lineText[r.i];
        if (c == '"') {
          rec.fields.emplace_back(r.string());
          rec.quoted.push_back(true);
        } else if (r.match("null")) {
          rec.fields.emplace_back(std::nullopt);
          rec.quoted.push_back(false);
        } else if (r.match("true")) {
          rec.fields.emplace_back("true");
          rec.quoted.push_back(false);
        } else if (r.match("false")) {
          rec.fields.emplace_back("false");
          rec.quoted.push_back(false);
        } else {
          size_t start = r.i;
          while (r.i < lineText.size() && std::string("+-0123456789.eE").find(lineText[r.i]) != std::string::npos) ++r.i;
          if (r.i == start) r.fail("unexpected character in the array");
          rec.fields.emplace_back(lineText.substr(start, r.i - start));
          rec.quoted.push_back(false);
        }
        first = false;
        r.ws();
        if (r.i < lineText.size() && lineText[r.i] == ',') {
          ++r.i;
          continue;
        }
        if (r.i < lineText.size() && lineText[r.i] == ']') {
          ++r.i;
          break;
        }
        r.fail("expected , or ] in the array");
      }
      r.ws();
      if (r.i != lineText.size()) r.fail("text after the array");
      records.push_back(std::move(rec));
    }
    lineStart = end + 1;
    ++line;
  }
  return records;
}

}  // namespace qar::cli
