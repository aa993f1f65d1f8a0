// Decoding the one-byte offsets and jump table of Jet 3 rows.
#include "jet/codec/row_offsets_jet3.h"

#include "jet/error.h"
#include "jet/format/row.h"

namespace jet::codec {
namespace fr = format::row;

std::vector<uint16_t> readJet3RowOffsets(const uint8_t* row, size_t length, size_t maskBytes) {
  auto bad = [] { return Error(ErrorKind::Corrupt, "a stored row's variable offsets are impossible"); };
  if (length < maskBytes + 2) throw bad();
  const size_t countAt = length - maskBytes - 1;
  const size_t vars = row[countAt];
  size_t jumps = jet3JumpCount(length);
  if (countAt < jumps + vars + 2) throw bad();
  const size_t first = countAt - jumps - 1;  // entry 0; the others run downwards
  if ((first - vars) / fr::kJumpStretch < jumps) --jumps;  // the last entry is unused
  std::vector<uint16_t> offsets(vars + 1);
  size_t used = 0;
  for (size_t i = 0; i <= vars; ++i) {
    while (used < jumps && i == row[countAt - used - 1]) ++used;
    offsets[i] = static_cast<uint16_t>(row[first - i] + used * fr::kJumpStretch);
  }
  const size_t dataLimit = first - vars;
  for (size_t i = 0; i < vars; ++i) {
    if (offsets[i] > offsets[i + 1] || offsets[i] < 1) throw bad();
  }
  if (offsets[vars] > dataLimit) throw bad();
  return offsets;
}

}  // namespace jet::codec
