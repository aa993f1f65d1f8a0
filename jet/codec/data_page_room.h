// How much room a data page has for new rows: its free bytes plus the bytes deleted rows and
// forward pointers still hold (packing the page's rows gives those back), and the rule that
// decides which pages a table's free-space map lists. Shared by the writer and the check.
#pragma once

#include <cstdint>

#include "jet/codec/data_page_view.h"

namespace jet::codec {

// A table's free-space map lists exactly its data pages that can still take a row of this
// many bytes (offset entry included) once packed, and have a row number left.
inline constexpr uint32_t kListedRoom = 24;

// Bytes a packed page keeps of a row: none of a deleted row, the pointer of a moved one.
inline uint32_t packedLength(RowEntry entry, uint32_t length) {
  if (entry.deleted() && entry.overflow()) return 0;
  if (entry.overflow()) return length < format::data::kRowPointerSize ? length : format::data::kRowPointerSize;
  return length;
}

// Free bytes once the page is packed; 0 for a page whose row table or rows lie outside it.
inline uint32_t reclaimableRoom(const DataPageView& view) {
  if (!view.rowTableFits()) return 0;
  uint32_t used = 0;
  for (uint16_t r = 0; r < view.rowCount(); ++r) {
    RowEntry entry = view.entry(r);
    uint32_t end = view.rowEnd(r);
    uint32_t length = entry.start <= end ? end - entry.start : 0;
    if (!view.inRowArea(entry.start, end)) {
      if (!entry.deleted()) return 0;
      length = 0;
    }
    used += packedLength(entry, length);
  }
  const uint32_t area = view.pageSize() - view.rowTableEnd();
  return used < area ? area - used : 0;
}

// Whether a live row (a plain row, a forward pointer or moved bytes) is listed on the page.
inline bool hasLiveRows(const DataPageView& view) {
  if (!view.rowTableFits()) return true;
  for (uint16_t r = 0; r < view.rowCount(); ++r) {
    RowEntry entry = view.entry(r);
    if (!(entry.deleted() && entry.overflow())) return true;
  }
  return false;
}

// Whether the table's free-space map should list the page. The free-space field alone
// decides when it already shows the room (packing only adds to it).
inline bool belongsInFreeSpaceMap(const DataPageView& view) {
  if (view.rowCount() >= format::data::kMaxRowsPerPage) return false;
  constexpr uint32_t needed = kListedRoom + format::data::kRowOffsetSize;
  return view.freeSpace() >= needed || reclaimableRoom(view) >= needed;
}

}  // namespace jet::codec
