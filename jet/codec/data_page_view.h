// Reading a data page's bytes (layout in jet/format/data_page.h): owner, free space, the row
// table and its flags, row bounds and moved rows' forward pointers. One thin view serves the
// reader, the writer and the structure check; it never throws, callers word their own errors.
#pragma once

#include <cstdint>

#include "jet/format/data_page.h"
#include "jet/format/types.h"
#include "jet/util/bytes.h"

namespace jet::codec {

// A row table entry: the row's start (flags removed) and its flags.
struct RowEntry {
  uint16_t start = 0;
  uint16_t flags = 0;
  bool deleted() const { return (flags & format::data::kDeletedRow) != 0; }
  bool overflow() const { return (flags & format::data::kOverflowRow) != 0; }
};

inline RowEntry decodeRowEntry(uint16_t raw) {
  return RowEntry{static_cast<uint16_t>(raw & format::data::kRowOffsetMask),
                  static_cast<uint16_t>(raw & ~format::data::kRowOffsetMask)};
}

// A moved row's forward pointer (kRowPointerSize bytes): row number, then 3-byte page number.
inline RowId decodeRowPointer(const uint8_t* p) { return RowId{le24(p + 1), p[0]}; }
inline void encodeRowPointer(uint8_t* p, RowId target) {
  p[0] = static_cast<uint8_t>(target.row);
  put24(p + 1, target.page);
}

// Valid while the page bytes it looks at live. Nothing is checked on construction: ask
// isDataPage() and rowTableFits() before trusting rows.
class DataPageView {
 public:
  DataPageView(const uint8_t* bytes, uint32_t pageSize, Format format)
      : p_(bytes), pageSize_(pageSize), table_(format::data::rowTableOffset(format)),
        count_(format::data::rowCountOffset(format)) {}

  bool isDataPage() const { return p_[0] == format::data::kPageType; }
  uint32_t owner() const { return le32(p_ + format::data::kOwner); }
  // A data page holding rows of the table whose definition starts on definitionPage (or long
  // values, for format::data::kLongValueOwner).
  bool belongsTo(uint32_t definitionPage) const { return isDataPage() && owner() == definitionPage; }
  bool isLongValuePage() const { return belongsTo(format::data::kLongValueOwner); }

  uint16_t freeSpace() const { return le16(p_ + format::data::kFreeSpace); }
  uint16_t rowCount() const { return le16(p_ + count_); }
  // Offset of row table entry `row` (also: where the table ends, for row == rowCount()).
  uint32_t entryOffset(uint32_t row) const { return table_ + row * format::data::kRowOffsetSize; }
  uint32_t rowTableEnd() const { return entryOffset(rowCount()); }
  bool rowTableFits() const { return rowTableEnd() <= pageSize_; }

  // Entry of a row below rowCount(); the table must fit the page.
  RowEntry entry(uint16_t row) const { return decodeRowEntry(le16(p_ + entryOffset(row))); }
  // One past a row's last byte: rows are stored downwards, so row n ends where row n-1 starts.
  uint32_t rowEnd(uint16_t row) const { return row == 0 ? pageSize_ : entry(static_cast<uint16_t>(row - 1)).start; }
  // Start of the lowest row (where the next row ends), the page end on an empty page.
  uint32_t lowestRowStart() const { return rowCount() == 0 ? pageSize_ : entry(static_cast<uint16_t>(rowCount() - 1)).start; }
  // Whether bounds lie in the row area: past the row table, start <= end <= page size.
  bool inRowArea(uint32_t start, uint32_t end) const { return start >= rowTableEnd() && start <= end && end <= pageSize_; }

  const uint8_t* bytes() const { return p_; }
  uint32_t pageSize() const { return pageSize_; }

 private:
  const uint8_t* p_;
  uint32_t pageSize_;
  uint32_t table_;
  uint32_t count_;
};

}  // namespace jet::codec
