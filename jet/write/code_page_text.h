// Text for Jet 3 (Access 97) files: UTF-8 turned into the bytes of the Windows code page the
// database (or the column) names, the inverse of decodeCodePage in jet/text.h. A character
// the code page cannot hold is refused, never replaced.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "jet/schema.h"

namespace jet::write {

// The code page bytes of text for `column` (its own code page when it names one, else
// codePage; 0 means 1252). Throws Error(Invalid) naming the column and the first character
// the code page has no bytes for, or on malformed UTF-8. Not thread-safe, like the engine.
std::vector<uint8_t> encodeCodePageText(const Column& column, std::string_view utf8, uint16_t codePage);

}  // namespace jet::write
