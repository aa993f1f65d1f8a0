// Index keys as index entries store them (big-endian, compared as unsigned bytes): one field
// per index column, each opened by a flag byte that also says whether the value is Null.
//
//   ascending column:   0x7F value bytes    Null: 0x00
//   descending column:  0x80 value bytes, each byte inverted    Null: 0xFF
//   Yes/No:             the flag byte alone, 0x00 for Yes and 0xFF for No (ascending;
//                       inverted when descending), so Yes (-1) sorts before No (0)
//   Binary and OLE:     segments of 8 data bytes and a count byte; a count of 9 means
//                       another segment follows
// Values stored on disk: never change them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet::format::indexkey {

inline constexpr uint8_t kAscendingStart = 0x7F;
inline constexpr uint8_t kAscendingNull = 0x00;
inline constexpr uint8_t kDescendingStart = 0x80;
inline constexpr uint8_t kDescendingNull = 0xFF;
inline constexpr uint8_t kAscendingYes = 0x00;
inline constexpr uint8_t kAscendingNo = 0xFF;

inline constexpr size_t kSegmentData = 8;
inline constexpr uint8_t kMoreSegments = 9;

}  // namespace jet::format::indexkey
