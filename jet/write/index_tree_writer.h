// Writes a whole index tree from its entries in index order: leaves packed as full as the
// page allows, intermediate levels above them until one page holds the rest, that page at
// the index's root (the page the table definition records). The index's old pages are used
// again, more come from the end of the file, and those left over are freed; the index's
// page map follows.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "jet/codec/index_page_builder.h"
#include "jet/table_info.h"
#include "jet/write/write_context.h"

namespace jet::write {

// One index of one table: rootPage is its first page, usedPages its page map, owner the
// table's definition page (every index page names it).
struct IndexTreeTarget {
  uint32_t rootPage = 0;
  RowRef usedPages;
  uint32_t owner = 0;
  std::string name;  // for messages: "index X of table Y"
};

// entries must be sorted (key, then row) with no two alike (their child fields are ignored). Throws jet::Error when the old
// tree cannot be read (Corrupt) or an entry cannot be stored (Invalid); callers run it
// inside an operation so a failure leaves the pages as they were.
void writeIndexTree(WriteContext& ctx, Format format, const IndexTreeTarget& target,
                    std::span<const IndexPageEntryRef> entries);

}  // namespace jet::write
