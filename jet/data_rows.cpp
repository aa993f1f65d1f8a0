// Row tables of data pages.
#include "jet/data_rows.h"

#include "jet/error.h"
#include "jet/format/data_page.h"
#include "jet/util/bytes.h"

namespace jet {

namespace dp = format::data;

namespace {

[[noreturn]] void fail(const Page& page, const std::string& what) {
  throw Error(ErrorKind::Corrupt, "page " + std::to_string(page.number) + ": " + what);
}

}  // namespace

uint16_t dataPageRowCount(const Page& page, Format format) {
  if (page.bytes[0] != dp::kPageType) fail(page, "expected a data page, found page type " + std::to_string(page.bytes[0]));
  uint16_t rows = le16(page.data() + dp::rowCountOffset(format));
  if (dp::rowTableOffset(format) + static_cast<size_t>(rows) * dp::kRowOffsetSize > page.size()) {
    fail(page, "row count " + std::to_string(rows) + " does not fit the page");
  }
  return rows;
}

RowSlot dataPageRow(const Page& page, Format format, uint16_t row) {
  uint16_t rows = dataPageRowCount(page, format);
  if (row >= rows) fail(page, "no row " + std::to_string(row) + " (the page has " + std::to_string(rows) + ")");
  const uint8_t* table = page.data() + dp::rowTableOffset(format);
  uint16_t raw = le16(table + row * dp::kRowOffsetSize);
  RowSlot slot;
  slot.deleted = (raw & dp::kDeletedRow) != 0;
  slot.overflow = (raw & dp::kOverflowRow) != 0;
  slot.start = raw & dp::kRowOffsetMask;
  slot.end = row == 0 ? static_cast<uint16_t>(page.size())
                      : static_cast<uint16_t>(le16(table + (row - 1) * dp::kRowOffsetSize) & dp::kRowOffsetMask);
  if (slot.deleted) return slot;
  uint32_t tableEnd = dp::rowTableOffset(format) + rows * dp::kRowOffsetSize;
  if (slot.start < tableEnd || slot.start > slot.end || slot.end > page.size()) {
    fail(page, "row " + std::to_string(row) + " has bounds " + std::to_string(slot.start) + ".." +
                   std::to_string(slot.end) + " outside the page's row area");
  }
  if (slot.overflow && slot.size() < dp::kRowPointerSize) {
    fail(page, "row " + std::to_string(row) + " is marked as moved but too short to say where to");
  }
  return slot;
}

bool readLiveRow(Pager& pager, Format format, RowId id, RowBytes& out) {
  // Access moves a row at most once when it grows; allow a few hops, never a loop.
  constexpr int kMaxHops = 4;
  RowId at = id;
  for (int hop = 0; hop <= kMaxHops; ++hop) {
    PageRef page = pager.read(at.page);
    RowSlot slot = dataPageRow(*page, format, at.row);
    // The header row decides whether the row is deleted; rows reached through a forwarding
    // pointer are always marked deleted themselves.
    if (hop == 0 && slot.deleted) return false;
    if (slot.overflow) {
      const uint8_t* p = page->data() + slot.start;
      at = RowId{le24(p + 1), p[0]};
      continue;
    }
    if (hop > 0 && slot.deleted) {
      // The target's own bounds were not checked above.
      uint32_t rows = dataPageRowCount(*page, format);
      uint32_t tableEnd = dp::rowTableOffset(format) + rows * dp::kRowOffsetSize;
      if (slot.start < tableEnd || slot.start > slot.end || slot.end > page->size()) {
        fail(*page, "moved row " + std::to_string(at.row) + " has bounds outside the page's row area");
      }
    }
    out.page = page;
    out.id = at;
    out.data = page->data() + slot.start;
    out.size = slot.size();
    return true;
  }
  throw Error(ErrorKind::Corrupt, "page " + std::to_string(id.page) + ": row " + std::to_string(id.row) +
                                      " is moved more than " + std::to_string(kMaxHops) + " times");
}

}  // namespace jet
