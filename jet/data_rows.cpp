// Row tables of data pages.
#include "jet/data_rows.h"

#include "jet/error.h"
#include "jet/codec/data_page_view.h"
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
  codec::DataPageView view(page.data(), static_cast<uint32_t>(page.size()), format);
  if (!view.isDataPage()) fail(page, "expected a data page, found page type " + std::to_string(page.bytes[0]));
  if (!view.rowTableFits()) fail(page, "row count " + std::to_string(view.rowCount()) + " does not fit the page");
  return view.rowCount();
}

namespace {

void checkBounds(const Page& page, const codec::DataPageView& view, uint16_t row, const RowSlot& slot,
                 const char* what) {
  if (!view.inRowArea(slot.start, slot.end)) {
    fail(page, std::string(what) + std::to_string(row) + " has bounds " + std::to_string(slot.start) + ".." +
                   std::to_string(slot.end) + " outside the page's row area");
  }
}

}  // namespace

RowSlot dataPageRow(const Page& page, Format format, uint16_t row) {
  uint16_t rows = dataPageRowCount(page, format);
  if (row >= rows) fail(page, "no row " + std::to_string(row) + " (the page has " + std::to_string(rows) + ")");
  codec::DataPageView view(page.data(), static_cast<uint32_t>(page.size()), format);
  codec::RowEntry entry = view.entry(row);
  RowSlot slot;
  slot.deleted = entry.deleted();
  slot.overflow = entry.overflow();
  slot.start = entry.start;
  slot.end = static_cast<uint16_t>(view.rowEnd(row));
  if (slot.deleted) return slot;
  checkBounds(page, view, row, slot, "row ");
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
      at = codec::decodeRowPointer(page->data() + slot.start);
      continue;
    }
    if (hop > 0 && slot.deleted) {
      // The target's own bounds were not checked above.
      codec::DataPageView view(page->data(), static_cast<uint32_t>(page->size()), format);
      if (!view.inRowArea(slot.start, slot.end)) {
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
