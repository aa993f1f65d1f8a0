// Where a table's rows go and what happens to the pages they leave: the free-space map kept
// exact (it lists the pages that can still take a row), pages packed when deleted rows hold
// the room a new row needs, and pages without live rows given back to the database.
#include <vector>

#include "jet/codec/data_page_room.h"
#include "jet/codec/data_page_view.h"
#include "jet/format/data_page.h"
#include "jet/write/page_packer.h"
#include "jet/write/table_writer.h"
#include "jet/write/usage_map_writer.h"

namespace jet::write {

void TableWriter::forgetPlacement() {
  insertPage_ = 0;
  notedPage_ = 0;
  candidates_.clear();
  candidatesLoaded_ = false;
}

uint32_t TableWriter::pageWithRoom(size_t length) {
  const PageSpec& bp = ctx_.blueprint();
  if (insertPage_ != 0 && insertPage_ < ctx_.pager().pageCount()) {
    // The page rows went to last: read once for both questions.
    const uint8_t* bytes = ctx_.read(insertPage_);
    if (codec::DataPageView(bytes, bp.pageSize, bp.format).belongsTo(info_.def.definitionPage) &&
        rowFitsPacked(bp, bytes, length)) {
      return insertPage_;
    }
  }
  if (!candidatesLoaded_) {
    std::vector<uint32_t> listed = UsageMapWriter(ctx_, info_.freePages.page, info_.freePages.row).pages();
    candidates_.insert(listed.begin(), listed.end());
    candidatesLoaded_ = true;
  }
  while (!candidates_.empty()) {
    const uint32_t page = *candidates_.begin();
    if (ownPage(page) && rowFitsPacked(bp, ctx_.read(page), length)) {
      insertPage_ = page;
      return page;
    }
    // Too full for this row: passed over until a delete gives it room again.
    candidates_.erase(candidates_.begin());
  }
  return 0;
}

RowId TableWriter::place(std::span<const uint8_t> bytes, uint16_t flags, uint32_t) {
  const PageSpec& bp = ctx_.blueprint();
  uint32_t page = pageWithRoom(bytes.size());
  if (page == 0) page = insertPage_ = newDataPage();
  uint8_t* p = nullptr;
  const uint8_t* now = ctx_.read(page);
  if (rowFits(bp, now, bytes.size())) {
    // The row goes below the lowest row; the header and the offsets table gain its entry.
    const codec::DataPageView view(now, bp.pageSize, bp.format);
    const uint32_t tableEnd = view.entryOffset(view.rowCount() + 1u);
    const auto length = static_cast<uint32_t>(bytes.size());
    p = ctx_.modifyWithin(page, {{0, tableEnd}, {view.lowestRowStart() - length, length}});
  } else {
    p = ctx_.modify(page);
    packRows(bp, p, page);
  }
  uint16_t row = addRow(bp, p, bytes, flags);
  noteRoom(page, p);
  return RowId{page, row};
}

void TableWriter::noteRoom(uint32_t page, const uint8_t* bytes) {
  codec::DataPageView view(bytes ? bytes : ctx_.read(page), ctx_.blueprint().pageSize, ctx_.blueprint().format);
  const bool listed = codec::belongsInFreeSpaceMap(view);
  if (page == notedPage_ && listed == notedListed_) return;
  UsageMapWriter freeMap(ctx_, info_.freePages.page, info_.freePages.row);
  if (freeMap.contains(page) != listed) {
    if (listed) {
      freeMap.add(page);
    } else {
      freeMap.remove(page, /*keepForm=*/true);  // a full page; pages come and go here
    }
  }
  notedPage_ = page;
  notedListed_ = listed;
}

void TableWriter::afterRowsGone(uint32_t page) {
  if (!ownPage(page)) return;
  codec::DataPageView view(ctx_.read(page), ctx_.blueprint().pageSize, ctx_.blueprint().format);
  if (!codec::hasLiveRows(view)) {
    releaseDataPage(page);
    return;
  }
  noteRoom(page);
  if (candidatesLoaded_) candidates_.insert(page);
}

void TableWriter::releaseDataPage(uint32_t page) {
  UsageMapWriter(ctx_, info_.ownedPages.page, info_.ownedPages.row).remove(page);
  UsageMapWriter(ctx_, info_.freePages.page, info_.freePages.row).remove(page);
  ctx_.release(page);
  candidates_.erase(page);
  if (insertPage_ == page) insertPage_ = 0;
  if (notedPage_ == page) notedPage_ = 0;
}

}  // namespace jet::write
