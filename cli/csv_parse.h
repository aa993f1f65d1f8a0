// Reading CSV text as export writes it (RFC 4180) into records.
#pragma once

#include <string>
#include <vector>

#include "cli/record.h"

namespace qar::cli {

// Splits CSV text (RFC 4180; LF or CRLF line ends; quoted fields may span lines) into
// records, each with the line it starts on. Throws std::invalid_argument naming the line.
std::vector<Record> parseCsv(const std::string& text);

}  // namespace qar::cli
