// Walking a table's rows in table-scan order: the pages of its owned-pages usage map in page
// order, each data page's rows in row order; deleted rows and the targets of moved rows are
// skipped, moved rows are read where they now live.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/data_rows.h"
#include "jet/pager/pager.h"
#include "jet/table_info.h"

namespace jet {

class TableScanner {
 public:
  // Reads the table's usage map now; rows are read as next() is called, so memory does not
  // grow with the table.
  TableScanner(Pager& pager, const TableInfo& info);

  // The next live row; false at the end.
  bool next(RowBytes& out);
  // Where the last row returned by next() is listed (its header row; moved rows' bytes live
  // elsewhere, see RowBytes::id).
  RowId current() const { return current_; }

 private:
  Pager& pager_;
  const TableInfo& info_;
  std::vector<uint32_t> pages_;
  size_t pageIndex_ = 0;
  PageRef page_;
  uint16_t rowsOnPage_ = 0;
  uint16_t nextRow_ = 0;
  RowId current_;
};

}  // namespace jet
