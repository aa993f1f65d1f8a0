// Gathering the pages the catalog's tables name, for the allocator (see claimed_pages.h).
#include "jet/write/claimed_pages.h"

#include <algorithm>
#include <string>
#include <utility>

#include "jet/catalog.h"
#include "jet/format/usage_map.h"
#include "jet/open_database.h"
#include "jet/table_info.h"
#include "jet/usage_map.h"

namespace jet::write {

std::vector<uint32_t> claimedPages(DatabaseImpl& db) {
  Pager& pager = db.pager();
  const Format format = db.header.format;
  std::vector<uint32_t> out;
  // The map's row and bitmap pages, and when `listed`, the pages it lists.
  auto addMap = [&](const RowRef& ref, bool listed) {
    if (ref.page <= 1 || ref.page >= pager.pageCount()) return;
    out.push_back(ref.page);
    UsageMapInfo map = readUsageMap(pager, format, ref);
    for (uint32_t p : map.mapPages) {
      if (p != 0) out.push_back(p);
    }
    if (listed) out.insert(out.end(), map.pages.begin(), map.pages.end());
  };
  // The database's page map's own bitmap pages.
  const RowRef pageMap{format::usagemap::kDatabaseMapRow, format::usagemap::kDatabaseMapPage};
  for (uint32_t p : readUsageMap(pager, format, pageMap).mapPages) {
    if (p != 0) out.push_back(p);
  }
  std::vector<std::pair<std::string, uint32_t>> tables{{"MSysObjects", kCatalogPage}};
  for (const CatalogEntry& entry : readTableObjects(pager, db.catalog, db.header.codePage)) {
    tables.emplace_back(entry.name, entry.definitionPage);
  }
  for (const auto& [name, definitionPage] : tables) {
    const TableInfo info = readTableInfo(pager, format, definitionPage, name, db.header.codePage, nullptr);
    out.insert(out.end(), info.pages.begin(), info.pages.end());
    addMap(info.ownedPages, true);
    addMap(info.freePages, true);
    // Column maps are not kept up to date (long-value pages are found through the rows), so
    // the pages they list prove nothing.
    for (const ColumnUsage& column : info.columnUsage) {
      addMap(column.ownedPages, false);
      addMap(column.freePages, false);
    }
    // Index pages: Access and the writer list every page of a tree in the index's map; the
    // root is named by the definition besides.
    for (const RealIndexInfo& index : info.realIndexes) {
      addMap(index.usedPages, true);
      if (index.firstPage != 0) out.push_back(index.firstPage);
    }
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

}  // namespace jet::write
