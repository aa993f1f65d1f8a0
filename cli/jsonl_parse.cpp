// Reading JSON Lines records: one JSON array of scalars per line.
#include "cli/jsonl_parse.h"

#include <stdexcept>

#include "jet/text.h"

namespace qar::cli {
namespace {

[[noreturn]] void bad(const std::string& what) { throw std::invalid_argument(what); }

}  // namespace

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
