// Laying out the one-byte offsets and jump table of Jet 3 rows.
#include "jet/write/row_trailer_jet3.h"

#include <string>

#include "jet/codec/row_offsets_jet3.h"
#include "jet/error.h"
#include "jet/format/row.h"

namespace jet::write::jet3 {
namespace fr = format::row;

namespace {
size_t jumpCount(size_t length) { return codec::jet3JumpCount(length); }
}  // namespace

size_t rowLength(size_t base) {
  // The jump table is part of the length it depends on: grow it until it covers itself.
  size_t jumps = 0;
  while (jumpCount(base + jumps) > jumps) ++jumps;
  return base + jumps;
}

void finishRow(std::vector<uint8_t>& row, const std::vector<uint16_t>& starts, size_t maskBytes,
               size_t minLength) {
  const size_t vars = starts.size();
  if (vars > fr::kMaxColumnsJet3) {
    throw Error(ErrorKind::Corrupt, "a Jet 3 table cannot have " + std::to_string(vars) + " variable columns");
  }
  const size_t fixedParts = 1 + vars + 1 + maskBytes;  // end marker, offsets, count, mask
  const size_t dataEnd = row.size();
  // Whether a jump entry a reader consults lies past the end of the data: it is written as
  // unused (0xFF), a value that with 255 variable columns is an entry number.
  auto unreachable = [&](size_t length) {
    const size_t jumps = jumpCount(length);
    const size_t endMarkerAt = length - fixedParts - jumps;
    const size_t consulted = jumps > 0 && endMarkerAt / fr::kJumpStretch < jumps ? jumps - 1 : jumps;
    return consulted > 0 && dataEnd < consulted * fr::kJumpStretch;
  };
  const bool fullTable = vars >= fr::kMaxColumnsJet3;
  size_t length = rowLength(dataEnd + fixedParts);
  if (minLength > length && !(fullTable && unreachable(minLength))) length = minLength;
  if (fullTable && unreachable(length)) {
    throw Error(ErrorKind::Invalid, "a row with 255 variable columns and this little data cannot be laid out");
  }
  const size_t jumps = jumpCount(length);
  const uint16_t endOfData = static_cast<uint16_t>(dataEnd);
  row.resize(length - fixedParts - jumps, 0);
  std::vector<uint16_t> offsets = starts;
  offsets.push_back(endOfData);
  for (size_t i = offsets.size(); i-- > 0;) row.push_back(static_cast<uint8_t>(offsets[i] & 0xFF));
  // Entry j: the first offset at or past the end of stretch j.
  std::vector<uint8_t> table(jumps, fr::kUnusedJump);
  for (size_t j = 0; j < jumps; ++j) {
    for (size_t i = 0; i < offsets.size(); ++i) {
      if (offsets[i] >= (j + 1) * fr::kJumpStretch) {
        table[j] = static_cast<uint8_t>(i);
        break;
      }
    }
  }
  for (size_t j = jumps; j-- > 0;) row.push_back(table[j]);
  row.push_back(static_cast<uint8_t>(vars));
  row.resize(row.size() + maskBytes, 0);
}

}  // namespace jet::write::jet3
