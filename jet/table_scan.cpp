// Table scans over the owned-pages map.
#include "jet/table_scan.h"

#include "jet/codec/data_page_view.h"
#include "jet/format/data_page.h"
#include "jet/usage_map.h"
#include "jet/util/bytes.h"

namespace jet {

namespace dp = format::data;

TableScanner::TableScanner(Pager& pager, const TableInfo& info) : pager_(pager), info_(info) {
  pages_ = readUsageMap(pager_, info_.format, info_.ownedPages).pages;
}

bool TableScanner::next(RowBytes& out) {
  for (;;) {
    while (page_ && nextRow_ < rowsOnPage_) {
      uint16_t row = nextRow_++;
      RowSlot slot = dataPageRow(*page_, info_.format, row);
      if (slot.deleted) continue;  // deleted, or the new home of a moved row
      RowId id{page_->number, row};
      if (!slot.overflow) {
        out.page = page_;
        out.id = id;
        out.data = page_->data() + slot.start;
        out.size = slot.size();
      } else if (!readLiveRow(pager_, info_.format, id, out)) {
        continue;
      }
      current_ = id;
      return true;
    }
    page_.reset();
    if (pageIndex_ >= pages_.size()) return false;
    PageRef candidate = pager_.read(pages_[pageIndex_++]);
    // The map also lists the table's definition and index pages; only its data pages hold rows.
    codec::DataPageView view(candidate->data(), static_cast<uint32_t>(candidate->size()), info_.format);
    if (!view.belongsTo(info_.def.definitionPage)) continue;
    rowsOnPage_ = dataPageRowCount(*candidate, info_.format);
    nextRow_ = 0;
    page_ = std::move(candidate);
  }
}

}  // namespace jet
