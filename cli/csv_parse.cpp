// Splitting CSV text (RFC 4180) into records.
#include "cli/csv_parse.h"

#include <stdexcept>

namespace qar::cli {
namespace {

[[noreturn]] void bad(const std::string& what) { throw std::invalid_argument(what); }

}  // namespace

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

}  // namespace qar::cli
