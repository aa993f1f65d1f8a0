// Table definition pages (type 0x02) as Jet 3 and Jet 4 lay them out.
//
// A definition may span pages: each page starts with an 8-byte page header and the next
// page's number; the definition is the first page followed by the bytes after offset 8 of
// each next page. Offsets below are into that joined definition.
//
//   page header     0x00 1 type 0x02 | 0x01 1 | 0x02 2 "VC" (Jet 3) or free space | 0x04 4 next page
//   block           Jet 3  Jet 4
//     length        0x08   0x08   4  bytes of definition
//     row count     0x0C   0x10   4
//     auto-number   0x10   0x14   4  next Long auto-number value
//     table type    0x14   0x28   1  0x4E user, 0x53 system
//     max columns   0x15   0x29   2  columns a row may have (deleted ones included)
//     var columns   0x17   0x2B   2
//     columns       0x19   0x2D   2
//     logical idx   0x1B   0x2F   4
//     real idx      0x1F   0x33   4
//     owned pages   0x23   0x37   4  usage map reference (row, 3-byte page)
//     free pages    0x27   0x3B   4  usage map reference
//   then, in order:
//     real index row counts  8 / 12 bytes each
//     column descriptors     18 / 25 bytes each (layout in ColumnLayout)
//     column names           1-byte length + code page bytes / 2-byte length + UTF-16
//     real indexes           39 / 52 bytes each (layout in RealIndexLayout)
//     logical indexes        20 / 28 bytes each (layout in LogicalIndexLayout)
//     index names            as column names
//     column usage maps      2-byte column number, owned and free map references (10 bytes),
//                            repeated until column number 0xFFFF
// Values stored on disk: never change them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jet/format/types.h"

namespace jet::format::tabledef {

inline constexpr uint8_t kPageType = 0x02;
inline constexpr uint8_t kPageMarker = 0x01;  // the byte after the type
inline constexpr uint32_t kFreeSpace = 0x02;  // Jet 4: free bytes, counted 8 short
inline constexpr uint32_t kFreeSpaceSlack = 8;
inline constexpr uint32_t kNextPage = 0x04;
inline constexpr uint32_t kPageHeaderSize = 8;
inline constexpr uint32_t kLength = 0x08;
inline constexpr uint8_t kUserTable = 0x4E;
inline constexpr uint8_t kSystemTable = 0x53;
inline constexpr uint16_t kNoColumn = 0xFFFF;
inline constexpr uint32_t kIndexColumnSlots = 10;
inline constexpr uint32_t kColumnUsageEntrySize = 10;

// Constants every definition Access writes carries: a magic number in the definition and
// column blocks, another at the start of each real index, a bit set in every index flag
// byte (Jet 4 only), and the byte Jet writes in the cascade fields of a plain (not foreign-key) index.
inline constexpr uint32_t kDefinitionMagic = 0x0659;
inline constexpr uint32_t kDefinitionMagicJet4 = 0x0C;  // where the block carries it
inline constexpr uint32_t kColumnMagicJet4 = 0x01;      // where a column descriptor carries it
inline constexpr uint32_t kAlwaysOneJet4 = 0x18;        // a byte Access sets to 1 in every table
inline constexpr uint32_t kRealIndexMagic = 0x0783;
// Jet 3 definition pages carry "VC" where Jet 4 keeps the free space, and every Jet 3
// column descriptor a 1 at offset 7.
inline constexpr uint16_t kPageTagJet3 = 0x4356;  // "VC" read little-endian
inline constexpr uint32_t kColumnAlwaysOneJet3 = 0x07;
inline constexpr uint8_t kIndexFlagAlwaysSet = 0x80;
inline constexpr uint8_t kCascadeFieldsAsWritten = 0x04;

// Limits: characters of a table, column or index name; columns of a table.
inline constexpr size_t kMaxNameLength = 64;
inline constexpr size_t kMaxColumns = 255;

struct BlockLayout {
  uint32_t rowCount, nextAutoNumber, tableType, maxColumns, varColumns, columns, logicalIndexes,
      realIndexes, ownedPages, freePages, realIndexCounts;
  uint32_t realIndexCountSize;
  uint32_t nameLengthSize;  // bytes of a name's length prefix
};
inline constexpr BlockLayout kBlockJet3{0x0C, 0x10, 0x14, 0x15, 0x17, 0x19, 0x1B, 0x1F, 0x23, 0x27, 0x2B, 8, 1};
inline constexpr BlockLayout kBlockJet4{0x10, 0x14, 0x28, 0x29, 0x2B, 0x2D, 0x2F, 0x33, 0x37, 0x3B, 0x3F, 12, 2};

// Column descriptor.             Jet 3  Jet 4
//   kind                          0x00   0x00  1
//   column number                 0x01   0x05  2  (deleted columns keep theirs)
//   variable-column index         0x03   0x07  2  position in the row's offset table
//   column index                  0x05   0x09  2
//   sort order (text)             0x09   0x0B  2  locale id; Jet 4 version byte at 0x0E
//   code page (Jet 3 text)        0x0B   -     2
//   precision / scale (Decimal)   0x0B   0x0B  1 + 1
//   flags                         0x0D   0x0F  1  (kFixed, kNullable, ...)
//   extra flags (Jet 4)           -      0x10  1  (kCompressedUnicode)
//   fixed-data offset             0x0E   0x15  2  offset in the row's fixed area
//   length                        0x10   0x17  2  bytes (0 for Memo and OLE)
struct ColumnLayout {
  uint32_t size, kind, number, varIndex, index, sortOrder, sortVersion, codePage, precision, scale, flags,
      extFlags, fixedOffset, length;
  static constexpr uint32_t kAbsent = 0xFFFFFFFF;
};
inline constexpr ColumnLayout kColumnJet3{18, 0x00, 0x01, 0x03, 0x05, 0x09, ColumnLayout::kAbsent, 0x0B, 0x0B, 0x0C,
                                          0x0D, ColumnLayout::kAbsent, 0x0E, 0x10};
inline constexpr ColumnLayout kColumnJet4{25, 0x00, 0x05, 0x07, 0x09, 0x0B, 0x0E, ColumnLayout::kAbsent, 0x0B, 0x0C,
                                          0x0F, 0x10, 0x15, 0x17};

inline constexpr uint8_t kFixed = 0x01;
inline constexpr uint8_t kNullable = 0x02;
inline constexpr uint8_t kAutoLong = 0x04;
inline constexpr uint8_t kReplication = 0x10;
inline constexpr uint8_t kAutoGuid = 0x40;
inline constexpr uint8_t kHyperlink = 0x80;
inline constexpr uint8_t kCompressedUnicode = 0x01;

// Real index (the index tree itself).   Jet 3  Jet 4
//   unused                               -      0x00  4
//   columns: 10 x (column number 2, order 1; 0xFFFF = unused slot; order 0x01 ascending,
//            0x00 descending)
//                                        0x00   0x04  30
//   used-pages usage map reference       0x1E   0x22  4
//   first index page                     0x22   0x26  4
//   flags                                0x26   0x2E  1  (kUnique, kIgnoreNulls, kRequired)
struct RealIndexLayout {
  uint32_t size, columns, usedPages, firstPage, flags;
};
inline constexpr RealIndexLayout kRealIndexJet3{39, 0x00, 0x1E, 0x22, 0x26};
inline constexpr RealIndexLayout kRealIndexJet4{52, 0x04, 0x22, 0x26, 0x2E};
inline constexpr uint32_t kIndexColumnSlotSize = 3;
inline constexpr uint8_t kAscending = 0x01;
inline constexpr uint8_t kDescending = 0x00;
inline constexpr uint8_t kUnique = 0x01;
inline constexpr uint8_t kIgnoreNulls = 0x02;
inline constexpr uint8_t kRequired = 0x08;

// Logical index (what Access shows as an index).   Jet 3  Jet 4
//   unused                                          -      0x00  4
//   index number                                    0x00   0x04  4
//   real index number                               0x04   0x08  4
//   related table type (foreign key)                0x08   0x0C  1
//   related index number (-1: not a foreign key)    0x09   0x0D  4
//   related table definition page                   0x0D   0x11  4
//   cascade updates, cascade deletes                0x11   0x15  1 + 1
//   index type                                      0x13   0x17  1  (kPrimaryKey, kForeignKey)
struct LogicalIndexLayout {
  uint32_t size, number, realIndex, relatedType, relatedIndex, relatedTable, cascadeUpdates, cascadeDeletes, type;
};
inline constexpr LogicalIndexLayout kLogicalIndexJet3{20, 0x00, 0x04, 0x08, 0x09, 0x0D, 0x11, 0x12, 0x13};
inline constexpr LogicalIndexLayout kLogicalIndexJet4{28, 0x04, 0x08, 0x0C, 0x0D, 0x11, 0x15, 0x16, 0x17};
inline constexpr uint8_t kPrimaryKey = 0x01;
inline constexpr uint8_t kForeignKey = 0x02;

inline constexpr const BlockLayout& block(Format f) { return f == Format::Jet3 ? kBlockJet3 : kBlockJet4; }
inline constexpr const ColumnLayout& column(Format f) { return f == Format::Jet3 ? kColumnJet3 : kColumnJet4; }
inline constexpr const RealIndexLayout& realIndex(Format f) { return f == Format::Jet3 ? kRealIndexJet3 : kRealIndexJet4; }
inline constexpr const LogicalIndexLayout& logicalIndex(Format f) {
  return f == Format::Jet3 ? kLogicalIndexJet3 : kLogicalIndexJet4;
}

}  // namespace jet::format::tabledef
