// On-disk layout of index pages: leaf pages (type 0x04) hold the entries of an index in key
// order, intermediate pages (type 0x03) hold one entry per child page. Header numbers are
// little-endian; everything inside entries is big-endian.
//
//   Jet 4 (4096-byte pages)             Jet 3 (2048-byte pages)
//   0   type                   1        0   type                   1
//   1   (always 0x01)          1        1   (always 0x01)          1
//   2   free space             2        2   free space             2
//   4   table definition page  4        4   table definition page  4
//   8   (unused)               4
//   12  previous page          4        8   previous page          4
//   16  next page              4        12  next page              4
//   20  tail page              4        16  tail page              4
//   24  prefix length          2        20  prefix length          1
//   26  (node mark)            1        21  node mark              1
//   27  entry map            453        22  entry map            226
//   480 entries ...                     248 entries ...
//
// The node mark is 1 on intermediate pages and 0 on leaves. Access sets it in both versions;
// the writer sets it in Jet 3 pages and leaves Jet 4's byte 26 at 0, as the Jet 4 files it
// has always written have it (mdbtools and the engine's reader do not look at it).
// Entries lie back to back from the entries offset. Bit k of the entry map (byte k / 8,
// bit k % 8, low bit first) is set when an entry ends k bytes past the entries offset.
// Prefix compression: the first entry is stored whole; every later entry leaves out its
// first `prefix length` bytes, which equal the first entry's.
//
//   leaf entry:          key bytes | data page (3) | row (1)
//   intermediate entry:  key bytes | data page (3) | row (1) | child page (4)
//
// An intermediate entry repeats the last entry of its child page. The tail page of an
// intermediate page is one more child, after all listed ones, with no entry of its own.
// Leaf pages of one index are chained in key order through previous and next (0 = none).
#pragma once

#include <cstddef>
#include <cstdint>

#include "jet/format/types.h"

namespace jet {

// Page type bytes (stored values: never change).
constexpr uint8_t kIndexNodePage = 0x03;
constexpr uint8_t kIndexLeafPage = 0x04;
constexpr uint8_t kIndexPageMarker = 0x01;  // the byte after the type

// Sizes inside entries.
constexpr size_t kEntryDataPageSize = 3;
constexpr size_t kEntryRowSize = 1;
constexpr size_t kEntryRowIdSize = kEntryDataPageSize + kEntryRowSize;
constexpr size_t kEntryChildSize = 4;

constexpr size_t kNoNodeMark = static_cast<size_t>(-1);

struct IndexPageLayout {
  size_t pageSize;
  size_t freeSpace;
  size_t tableDefinition;
  size_t previousPage;
  size_t nextPage;
  size_t tailPage;
  size_t prefixLength;
  size_t prefixLengthSize;  // bytes of the prefix length field
  size_t nodeMark;          // kNoNodeMark: not written
  size_t entryMap;
  size_t entryMapSize;
  constexpr size_t entries() const { return entryMap + entryMapSize; }
  // Room for entry bytes: the page after the map, and no further than the map can mark.
  constexpr size_t entryRoom() const {
    const size_t page = pageSize - entries();
    return page < entryMapSize * 8 ? page : entryMapSize * 8;
  }
};

constexpr IndexPageLayout kJet4IndexPage{
    .pageSize = 4096,
    .freeSpace = 2,
    .tableDefinition = 4,
    .previousPage = 12,
    .nextPage = 16,
    .tailPage = 20,
    .prefixLength = 24,
    .prefixLengthSize = 2,
    .nodeMark = kNoNodeMark,
    .entryMap = 27,
    .entryMapSize = 453,
};

constexpr IndexPageLayout kJet3IndexPage{
    .pageSize = 2048,
    .freeSpace = 2,
    .tableDefinition = 4,
    .previousPage = 8,
    .nextPage = 12,
    .tailPage = 16,
    .prefixLength = 20,
    .prefixLengthSize = 1,
    .nodeMark = 21,
    .entryMap = 22,
    .entryMapSize = 226,
};

static_assert(kJet4IndexPage.entries() == 480);
static_assert(kJet3IndexPage.entries() == 248);

inline const IndexPageLayout& indexPageLayout(Format format) {
  return format == Format::Jet4 ? kJet4IndexPage : kJet3IndexPage;
}

}  // namespace jet
