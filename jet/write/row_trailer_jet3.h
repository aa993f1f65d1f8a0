// The variable part of a Jet 3 row (layout in jet/format/row.h): one-byte offsets, their
// high parts carried by a jump table of one entry per 256-byte stretch of the row. Used by
// the row encoder to lay rows out (jet/codec/row_offsets_jet3.h reads them back).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace jet::write::jet3 {

// Completes a row whose count byte, fixed area and variable data are in `row` (the data of
// entry i starting at starts[i], all of it ending at row.size()): appends padding, the end
// marker, offsets, jump table, variable count and maskBytes zero bytes for the null mask
// (which the caller fills). The finished row is at least minLength bytes long, except when
// padding to it would need a jump entry no offset reaches while every entry value is taken
// (255 variable columns): then it is as short as it can be, and when even that needs one,
// Error(Invalid) is thrown. starts holds at most 255 entries.
void finishRow(std::vector<uint8_t>& row, const std::vector<uint16_t>& starts, size_t maskBytes,
               size_t minLength);

// Length of a row whose parts other than the jump table take base bytes.
size_t rowLength(size_t base);

}  // namespace jet::write::jet3
