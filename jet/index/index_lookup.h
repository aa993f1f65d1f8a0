// Index look-ups on an open database's pages: the page fetcher over the page cache, an
// index made ready for many look-ups, and seeking the first row of a key. What Table::seek
// and Table::indexScan are built on.
#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "jet/format/types.h"
#include "jet/index/index_tree.h"
#include "jet/index/key_encoder.h"
#include "jet/index/index_page_cache.h"
#include "jet/pager/pager.h"
#include "jet/table_info.h"

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

// One index resolved once for many look-ups: its definition (an index sharing another's tree,
// a foreign key's, gets that tree's root) and its key encoder.
struct IndexLookup {
  Index index;
  KeyEncoder encoder;
};

// The look-ups of one table's indexes, each made on first use. Made for one decoding of the
// table's definition: whoever reads the definition again makes a new one.
class TableIndexLookups {
 public:
  // The named index (ASCII letter case ignored, as Access names indexes); NotFound naming
  // the table when it has none of that name.
  const IndexLookup& find(const TableInfo& info, std::string_view name);
  // Room for the key bytes of one seek, reused from seek to seek.
  KeyBytes scratch;

 private:
  std::vector<std::unique_ptr<IndexLookup>> lookups_;
};

// seekIndex through decoded pages kept in `pages`; wanted holds the encoded key afterwards.
std::optional<RowId> seekIndex(IndexPageCache& pages, const IndexLookup& lookup, const Row& key, KeyBytes& wanted);

// A cursor over every entry of the index, in key order.
IndexEntryCursor scanIndex(Pager& pager, Format format, const Index& index);

}  // namespace jet
