// The inverse of value_text.h: reads the text form export writes back into a value of a
// column's kind, and the CSV and JSON Lines records import takes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jet/schema.h"
#include "jet/value.h"

namespace qar::cli {

// A value of the column's kind from its text form. Throws std::invalid_argument saying why.
jet::Value parseValueText(const jet::Column& column, const std::string& text);

// One field of a record: nullopt is Null (an empty CSV field, a JSON null).
using Field = std::optional<std::string>;

// Splits CSV text (RFC 4180; LF or CRLF line ends; quoted fields may span lines) into
// records, each with the line it starts on. Throws std::invalid_argument naming the line.
struct Record {
  size_t line = 0;
  std::vector<Field> fields;
  // JSON only: which fields were JSON strings (a string is taken as text as it is).
  std::vector<bool> quoted;
};
std::vector<Record> parseCsv(const std::string& text);
// One JSON array per non-empty line; null, true, false, numbers and strings.
std::vector<Record> parseJsonLines(const std::string& text);

}  // namespace qar::cli
