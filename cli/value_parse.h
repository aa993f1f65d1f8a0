// The inverse of value_text.h: reads the text form export writes back into a value of a
// column's kind. The records import takes are read by csv_parse.h and jsonl_parse.h.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jet/schema.h"
#include "jet/value.h"

namespace qar::cli {

// A value of the column's kind from its text form. Throws std::invalid_argument saying why.
jet::Value parseValueText(const jet::Column& column, const std::string& text);

}  // namespace qar::cli
