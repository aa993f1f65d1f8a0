// Index look-ups on an open database's pages: the page fetcher over the page cache, and
// seeking the first row of a key. What Table::seek and Table::indexScan are built on.
#pragma once

#include <optional>

#include "jet/database.h"
#include "jet/index/index_tree.h"
#include "jet/index/key_encoder.h"
#include "jet/pager.h"

namespace jet {

// Pages of the index read through the cache, so pages changed and not yet flushed are seen.
// The fetcher holds the last page it returned; it must not outlive the pager.
IndexPageFetcher pagerPages(Pager& pager);

// The first row, in index order, whose key equals `key` (one value per index column, or
// fewer: then the leading columns must equal). Text compares as the index's sort order does,
// so letter case does not count. Nothing found gives no value.
// Throws jet::Error: Invalid for a key the columns cannot hold, Unsupported for an index in a
// sort order the engine cannot encode (naming it), Corrupt for damaged index pages.
std::optional<RowId> seekIndex(Pager& pager, Format format, const TableDef& table, const Index& index,
                               const Row& key);
// The same with the index's encoder built once by the caller (for many look-ups).
std::optional<RowId> seekIndex(Pager& pager, Format format, const KeyEncoder& encoder, const Index& index,
                               const Row& key);

// A cursor over every entry of the index, in key order.
IndexEntryCursor scanIndex(Pager& pager, Format format, const Index& index);

}  // namespace jet
