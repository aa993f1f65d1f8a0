// One record of the rows import reads (CSV or JSON Lines): its fields as text, Null apart,
// and the line it starts on.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qar::cli {

// One field of a record: nullopt is Null (an empty CSV field, a JSON null).
using Field = std::optional<std::string>;

struct Record {
  size_t line = 0;
  std::vector<Field> fields;
  // JSON only: which fields were JSON strings (a string is taken as text as it is).
  std::vector<bool> quoted;
};

}  // namespace qar::cli
