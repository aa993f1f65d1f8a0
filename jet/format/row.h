// Rows of a table as they sit on a data page (the row slot's bytes).
//
//   Jet 4                                      Jet 3
//   0     2  column count (n)                  0     1  column count (n)
//   2        fixed area (fixed-data offsets)   1        fixed area
//            variable column data                       variable column data
//            [padding]                                  [padding]
//         2  end of variable data                    1  end of variable data
//        2v  variable offsets, last first           v  variable offsets (low bytes), last first
//         -                                          j  jump table, last first
//         2  variable column count (v)               1  variable column count (v)
//   (n+7)/8  null mask: bit = column number,     (n+7)/8 null mask
//            1 = has a value (Yes/No: true)
//
// The variable part is present only when the table has variable columns. Jet 3 offsets
// are one byte: the jump table lists, for each 256-byte stretch of the row, the first
// variable entry whose offset lies past it; there are (rowLength - 1) / 256 entries, the
// last of which may be unused (0xFF).
// Values stored on disk: never change them.
#pragma once

#include <cstdint>

#include "jet/format/types.h"

namespace jet::format::row {

inline constexpr uint32_t columnCountSize(Format f) { return f == Format::Jet3 ? 1 : 2; }
inline constexpr uint32_t varOffsetSize(Format f) { return f == Format::Jet3 ? 1 : 2; }
inline constexpr uint32_t kJumpStretch = 256;

// The longest row Access writes on a page.
inline constexpr uint32_t kMaxRowBytesJet3 = 2012;
inline constexpr uint32_t kMaxRowBytesJet4 = 4060;
inline constexpr uint32_t maxRowBytes(Format f) { return f == Format::Jet3 ? kMaxRowBytesJet3 : kMaxRowBytesJet4; }

// A Jet 3 jump table entry that no variable entry reaches (the row's data ends before the
// stretch it stands for).
inline constexpr uint8_t kUnusedJump = 0xFF;
// Jet 3 rows name at most this many columns and variable columns (both counts are one byte).
inline constexpr uint32_t kMaxColumnsJet3 = 255;

}  // namespace jet::format::row
