// Reading JSON Lines as export writes it into records.
#pragma once

#include <string>
#include <vector>

#include "cli/record.h"

namespace qar::cli {

// One JSON array per non-empty line; null, true, false, numbers and strings. Throws
// std::invalid_argument naming the line.
std::vector<Record> parseJsonLines(const std::string& text);

}  // namespace qar::cli
