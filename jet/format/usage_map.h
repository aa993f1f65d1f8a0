// Usage maps: which pages belong to a table (or have free space), stored as a row on a data
// page that a 4-byte reference (row number, then 3-byte page number) points to.
//
//   type 0, inline:               type 1, page-referenced:
//   0x00  1  0x00                 0x00  1  0x01
//   0x01  4  first page mapped    0x01 4n  pages of type 0x05 holding the bitmap, 0 = none
//   0x05     bitmap
//
// Bitmaps: bit i (least significant bit of byte 0 first) set means page start + i is in the
// map. Map page j of a type 1 map covers pages j * (pageSize - 4) * 8 onwards; its bitmap
// starts at byte 4 of the page:
//   0x00  1  page type 0x05
//   0x01  1  0x01
//   0x02  2  unused
//   0x04     bitmap
// Map page j's slot lies past the end of the file when j * (pageSize - 4) * 8 >= the file's
// pages: such slots count as empty whatever they hold (Access leaves stale numbers there).
// Values stored on disk: never change them.
#pragma once

#include <cstdint>

#include "jet/format/types.h"

namespace jet::format::usagemap {

inline constexpr uint8_t kInlineType = 0x00;
inline constexpr uint8_t kReferenceType = 0x01;
inline constexpr uint32_t kType = 0x00;
inline constexpr uint32_t kInlineStart = 0x01;
inline constexpr uint32_t kInlineBitmap = 0x05;
inline constexpr uint32_t kReferencePages = 0x01;
inline constexpr uint32_t kReferencePointerSize = 4;

inline constexpr uint8_t kMapPageType = 0x05;
inline constexpr uint8_t kMapPageMarker = 0x01;
inline constexpr uint32_t kMapPageBitmap = 0x04;

// A reference to the map row: row number (1 byte) then page number (3 bytes).
inline constexpr uint32_t kReferenceSize = 4;

// The database's own page map: row 0 of page 1, of the same two kinds. Its set bits are the
// pages free for reuse; an inline map counts every page it cannot reach as free.
inline constexpr uint32_t kDatabaseMapPage = 1;
inline constexpr uint16_t kDatabaseMapRow = 0;

// Bytes of the map row a table definition asks for (type byte included).
inline constexpr uint32_t kTableMapSizeJet3 = 128;
inline constexpr uint32_t kTableMapSizeJet4 = 64;
inline constexpr uint32_t tableMapSize(Format f) { return f == Format::Jet3 ? kTableMapSizeJet3 : kTableMapSizeJet4; }

}  // namespace jet::format::usagemap
