// Reading the variable-column offsets of a Jet 3 row (layout in jet/format/row.h): one byte
// each, their high parts carried by the jump table. Shared by the writer (rows it changes)
// and the structure check (long values rows refer to).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace jet::codec {

// Jump table entries a Jet 3 row of this length holds: one per 256-byte stretch after the first.
inline size_t jet3JumpCount(size_t rowLength) { return rowLength == 0 ? 0 : (rowLength - 1) / 256; }

// The variable entries' starts and, last, the end of the variable data, of a Jet 3 row of
// length bytes with maskBytes of null mask. Throws Error(Corrupt) when they do not fit the row.
std::vector<uint16_t> readJet3RowOffsets(const uint8_t* row, size_t length, size_t maskBytes);

}  // namespace jet::codec
