// Data pages (type 0x01): rows of one table, or long values ("LVAL" pages).
//
//   Jet 3                         Jet 4
//   0x00  1  page type 0x01       0x00  1  page type 0x01
//   0x01  1  0x01                 0x01  1  0x01
//   0x02  2  free space           0x02  2  free space
//   0x04  4  owner: table         0x04  4  owner: table definition page, or "LVAL"
//            definition page      0x08  4  unused
//   0x08  2  row count            0x0C  2  row count
//   0x0A  2n row offsets          0x0E  2n row offsets
//
// Rows are stored from the end of the page downwards: row 0 ends at the page end, row n ends
// where row n-1 starts. A row offset's low 13 bits are the row's start; its top bits are flags.
// A row whose offset has the overflow flag holds a 4-byte pointer (row number, then a 3-byte
// page number) to where the row now lives; the row it points to carries the deleted flag.
// Values stored on disk: never change them.
#pragma once

#include <cstdint>

#include "jet/format/types.h"

namespace jet::format::data {

inline constexpr uint8_t kPageType = 0x01;
inline constexpr uint32_t kFreeSpace = 0x02;
inline constexpr uint32_t kOwner = 0x04;
inline constexpr uint32_t kLongValueOwner = 0x4C41564C;  // "LVAL" read little-endian
inline constexpr uint32_t kRowCountJet3 = 0x08;
inline constexpr uint32_t kRowCountJet4 = 0x0C;
inline constexpr uint32_t kRowOffsetSize = 2;

inline constexpr uint16_t kRowOffsetMask = 0x1FFF;
inline constexpr uint16_t kDeletedRow = 0x8000;
inline constexpr uint16_t kOverflowRow = 0x4000;

// A moved row's forwarding pointer: row number (1 byte) then page number (3 bytes).
inline constexpr uint32_t kRowPointerSize = 4;

// The byte after the page type, and the most rows a page holds (row numbers take one byte
// in row pointers).
inline constexpr uint8_t kPageMarker = 0x01;
inline constexpr uint16_t kMaxRowsPerPage = 255;

inline constexpr uint32_t rowCountOffset(Format f) { return f == Format::Jet3 ? kRowCountJet3 : kRowCountJet4; }
inline constexpr uint32_t rowTableOffset(Format f) { return rowCountOffset(f) + 2; }

}  // namespace jet::format::data
