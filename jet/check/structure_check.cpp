// The structural check: who owns which page, and whether maps, counts and references agree.
#include "jet/check/structure_check.h"

#include <atomic>
#include <exception>
#include <map>
#include <optional>
#include <set>
#include <system_error>
#include <thread>

#include "jet/codec/data_page_room.h"
#include "jet/codec/data_page_view.h"
#include "jet/catalog.h"
#include "jet/codec/long_value_ref.h"
#include "jet/data_rows.h"
#include "jet/open_database.h"
#include "jet/codec/row_offsets_jet3.h"
#include "jet/error.h"
#include "jet/format/data_page.h"
#include "jet/format/long_value.h"
#include "jet/format/table_def.h"
#include "jet/format/usage_map.h"
#include "jet/index/index_entry_list.h"
#include "jet/index/index_lookup.h"
#include "jet/index/index_tree.h"
#include "jet/index/key_encoder.h"
#include "jet/table_scan.h"
#include "jet/usage_map.h"
#include "jet/util/bytes.h"

namespace jet {
namespace fd = format::data;
namespace fl = format::longvalue;
namespace td = format::tabledef;
namespace fu = format::usagemap;

namespace {

struct Checker {
  DatabaseImpl& db;
  Pager& pager;
  Format format;
  StructureReport report;
  std::map<uint32_t, std::string> owner;  // page -> what claims it
  std::set<uint32_t> freePages;           // free in the database's page map
  std::set<uint32_t> liveLongValuePages;  // long-value pages some row refers to

  // The whole-file check leaves pages mapped past the end to the reader (which skips them);
  // before a write they are damage.
  bool pastEndAllowed = true;
  bool decodeRows = true;  // values decoded and index entries compared with the rows

  void defect(const std::string& s) { report.defects.push_back(s); }
  void drift(const std::string& s) { report.warnings.push_back(s); }

  // When set, each page's first claim is also noted here (tables checked apart, whose
  // claims are put together afterwards).
  std::vector<std::pair<uint32_t, std::string>>* claimLog = nullptr;

  void claim(uint32_t page, const std::string& who) {
    auto [it, fresh] = owner.emplace(page, who);
    if (fresh && claimLog) claimLog->emplace_back(page, who);
    if (!fresh && it->second != who) defect("page " + std::to_string(page) + " is claimed by " + it->second + " and by " + who);
  }

  void readGlobalMap() {
    try {
      UsageMapInfo map = readUsageMap(pager, format, RowRef{fu::kDatabaseMapRow, fu::kDatabaseMapPage});
      freePages.insert(map.pages.begin(), map.pages.end());
      for (uint32_t p : map.mapPages) {
        if (p != 0) claim(p, "the database's page map");
      }
      // Pages past an inline map's range count as free; none of them can be in the file
      // and in use, so they are checked as pages below.
    } catch (const Error& e) {
      defect(std::string("the database's page map: ") + e.what());
    }
  }

  // Pages some object uses must be of a type the engine knows; Access leaves pages of other
  // types behind that nothing refers to, and those are not defects.
  void checkPageTypes() {
    for (const auto& [p, who] : owner) {
      uint8_t type = pager.read(p)->bytes[0];
      if (type == 0x00 || type > 0x05) {
        defect("page " + std::to_string(p) + " of " + who + " has unknown type " + std::to_string(type));
      }
    }
  }

  void checkTable(const std::string& name, uint32_t definitionPage) {
    TableInfo info;
    try {
      info = readTableInfo(pager, format, definitionPage, name, db.header.codePage, nullptr);
    } catch (const Error& e) {
      defect("table " + name + ": " + e.what());
      return;
    }
    ++report.tables;
    const std::string who = "table " + name;
    for (uint32_t p : info.pages) claim(p, who);
    claimMapRows(info);
    // Pages the table owns: its data pages.
    std::set<uint32_t> owned;
    try {
      UsageMapInfo map = readUsageMap(pager, format, info.ownedPages);
      // A page past the end would become the table's the moment the file grows to it.
      if (map.pastEnd > 0 && !pastEndAllowed) {
        defect(who + ": its page map lists " + std::to_string(map.pastEnd) + " page" + (map.pastEnd == 1 ? "" : "s") +
               " past the end of the file");
      }
      for (uint32_t p : map.mapPages) {
        if (p != 0) claim(p, who + " (page map)");
      }
      for (uint32_t p : map.pages) {
        const Page& page = *pager.read(p);
        codec::DataPageView view(page.data(), static_cast<uint32_t>(page.size()), format);
        if (!view.isDataPage()) {
          // Access leaves freed pages in the map at times; only pages in use count.
          if (!freePages.count(p) && page.bytes[0] != 0) {
            defect(who + ": owned page " + std::to_string(p) + " is not a data page");
          }
          continue;
        }
        if (!view.belongsTo(definitionPage)) {
          defect(who + ": owned page " + std::to_string(p) + " belongs to definition page " +
                 std::to_string(view.owner()));
          continue;
        }
        owned.insert(p);
        claim(p, who);
      }
      UsageMapInfo freeMap = readUsageMap(pager, format, info.freePages);
      for (uint32_t p : freeMap.mapPages) {
        if (p != 0) claim(p, who + " (page map)");
      }
      for (uint32_t p : freeMap.pages) {
        if (!map.pages.empty() && !std::binary_search(map.pages.begin(), map.pages.end(), p) &&
            pager.read(p)->bytes[0] == fd::kPageType && !freePages.count(p)) {
          drift(who + ": page " + std::to_string(p) + " is in its free-space map but not among its pages");
        }
      }
      checkFreeSpaceFigures(who, owned, freeMap.pages);
    } catch (const Error& e) {
      defect(who + ": " + e.what());
      return;
    }
    // Rows: count them and check every value (long values followed to their end), and gather
    // what each index should hold.
    std::vector<IndexExpectation> expected =
        decodeRows ? expectationsOf(info) : std::vector<IndexExpectation>(info.realIndexes.size());
    uint64_t rows = 0;
    // The layout check leaves the rows to their reader (compaction reads each one out).
    const bool rowsRead = decodeRows && scanRows(who, info, expected, rows);
    report.rows += rows;
    // Access does not keep the counts of its own system tables exact.
    if (rowsRead && rows != info.def.rowCount && info.tableType != td::kSystemTable) {
      drift(who + ": the definition counts " + std::to_string(info.def.rowCount) + " rows, the pages hold " +
             std::to_string(rows));
    }
    // Index trees, and their entries against the rows.
    for (size_t r = 0; r < info.realIndexes.size(); ++r) {
      uint32_t root = info.realIndexes[r].firstPage;
      if (root == 0) continue;
      std::set<uint32_t> seen;
      IndexPageFetcher base = pagerPages(pager);
      IndexPageFetcher fetch = [&](uint32_t n) {
        seen.insert(n);
        return base(n);
      };
      const std::string where = who + ": index " + (expected[r].name.empty() ? std::to_string(r) : expected[r].name);
      bool sound = false;
      IndexTreeStats stats;
      try {
        stats = verifyIndexTree(fetch, format, root, 0);
        sound = true;
      } catch (const Error& e) {
        defect(where + ": " + e.what());
      }
      for (uint32_t p : seen) claim(p, who + " (indexes)");
      if (sound && rowsRead && decodeRows) checkEntries(where, expected[r], stats, root);
    }
  }

  // The pages holding the rows of the table's, its indexes' and its columns' usage maps
  // (several tables' maps may share one page).
  void claimMapRows(const TableInfo& info) {
    auto mapRow = [&](const RowRef& ref) {
      if (ref.page <= 1 || ref.page >= pager.pageCount()) return;
      claim(ref.page, "usage maps");
      try {
        for (uint32_t p : readUsageMap(pager, format, ref).mapPages) {
          if (p != 0) claim(p, "table " + info.def.name + " (page map)");
        }
      } catch (const Error& e) {
        defect("table " + info.def.name + ": a usage map on page " + std::to_string(ref.page) + ": " + e.what());
      }
    };
    mapRow(info.ownedPages);
    mapRow(info.freePages);
    for (const RealIndexInfo& index : info.realIndexes) mapRow(index.usedPages);
    for (const ColumnUsage& column : info.columnUsage) {
      mapRow(column.ownedPages);
      mapRow(column.freePages);
    }
  }

  // The free-space map against the pages' room: it lists exactly the table's data pages that
  // can still take a row. Access lets these figures drift; the writer keeps them exact.
  void checkFreeSpaceFigures(const std::string& who, const std::set<uint32_t>& owned,
                             const std::vector<uint32_t>& listed) {
    const std::set<uint32_t> inMap(listed.begin(), listed.end());
    for (uint32_t p : owned) {
      const Page& page = *pager.read(p);
      codec::DataPageView view(page.data(), static_cast<uint32_t>(page.size()), format);
      const bool room = codec::belongsInFreeSpaceMap(view);
      if (room && !inMap.count(p)) {
        drift(who + ": free-space figures: page " + std::to_string(p) + " has room for rows but is not in the free-space map");
      } else if (!room && inMap.count(p)) {
        drift(who + ": free-space figures: page " + std::to_string(p) + " is in the free-space map but has no room for a row");
      }
    }
  }

  // What one real index should hold, from the rows: how many entries and, where the engine
  // can build the index's keys, the entries themselves.
  struct IndexExpectation {
    std::string name;  // of the first logical index using it
    std::optional<KeyEncoder> encoder;
    bool ignoreNulls = false;
    bool exact = false;  // entries gathered (the keys can be built)
    uint64_t count = 0;
    uint64_t unbuilt = 0;  // rows whose keys cannot be built (their entries are left out)
    IndexEntryList entries;

    void add(const Row& row, RowId id, KeyBytes& key) {
      if (!encoder) return;
      if (ignoreNulls && encoder->allNull(row)) return;
      ++count;
      if (!exact) return;
      key.clear();
      try {
        encoder->encodeRow(row, key);
      } catch (const Error& e) {
        if (encoder->provenOnly() && e.kind() == ErrorKind::Unsupported) {
          // A character the sort order's keys are not proven for: this entry goes unverified.
          ++unbuilt;
          return;
        }
        // A value the key encoder cannot take: the entries of this index go unchecked.
        exact = false;
        entries.clear();
        return;
      }
      entries.add(key, id);
    }
  };

  std::vector<IndexExpectation> expectationsOf(const TableInfo& info) {
    std::vector<IndexExpectation> out(info.realIndexes.size());
    for (size_t r = 0; r < info.realIndexes.size(); ++r) {
      IndexExpectation& x = out[r];
      x.ignoreNulls = (info.realIndexes[r].flags & td::kIgnoreNulls) != 0;
      for (size_t i = 0; i < info.logicalIndexes.size() && i < info.def.indexes.size(); ++i) {
        if (info.logicalIndexes[i].realIndex != r) continue;
        x.name = info.def.indexes[i].name;
        try {
          x.encoder.emplace(info.def, info.def.indexes[i], format);
          x.exact = x.encoder->writable();
        } catch (const Error&) {
          // A column the table lacks: the definition check reports it; the entries go unchecked.
        }
        break;
      }
      if (x.exact) x.entries.reserve(info.def.rowCount);
    }
    return out;
  }

  // Counts the rows and checks every value (long values followed to their end), gathering what
  // each index should hold; false (with the defect reported) when a row cannot be read. Only
  // the indexes' key columns are built; the other values are checked where they lie.
  bool scanRows(const std::string& who, const TableInfo& info, std::vector<IndexExpectation>& expected, uint64_t& rows) {
    std::vector<bool> keyColumns(info.def.columns.size(), false);
    for (const IndexExpectation& x : expected) {
      if (!x.encoder) continue;
      for (int p : x.encoder->rowPositions()) {
        if (p >= 0 && static_cast<size_t>(p) < keyColumns.size()) keyColumns[p] = true;
      }
    }
    RowDecoder decoder(info, pager, db.header.codePage);
    try {
      TableScanner scanner(pager, info);
      RowBytes bytes;
      Row row;
      KeyBytes key;
      while (scanner.next(bytes)) {
        ++rows;
        noteLongValues(info, bytes);
        decoder.check(bytes.data, bytes.size, bytes.id, row, keyColumns);
        for (IndexExpectation& x : expected) x.add(row, scanner.current(), key);
      }
      return true;
    } catch (const Error& e) {
      defect(who + ": " + e.what());
      return false;
    }
  }

  // The tree holds one entry per row that belongs in the index, and (when the keys can be
  // built) exactly the entries the rows give, in order.
  void checkEntries(const std::string& where, IndexExpectation& x, const IndexTreeStats& stats, uint32_t root) {
    if (!x.encoder) return;
    if (stats.entries != x.count) {
      defect(where + ": holds " + std::to_string(stats.entries) + " entries, the table has " + std::to_string(x.count) +
             " rows that belong in it");
    }
    if (!x.exact) {
      report.unverifiedEntries += stats.entries;
      return;
    }
    if (x.unbuilt > 0) {
      checkEntriesByRow(where, x, root);
      return;
    }
    x.entries.sort();
    IndexEntryCursor cursor(pagerPages(pager), format, root);
    size_t i = 0;
    auto rowText = [](RowId id) { return "page " + std::to_string(id.page) + " row " + std::to_string(id.row); };
    try {
      bool differs = false;
      for (; !differs && cursor.next(); ++i) {
        if (i == x.entries.size()) {
          defect(where + ": has an entry for " + rowText(cursor.row()) + " beyond the rows' entries");
          differs = true;
          continue;
        }
        const auto key = x.entries.key(i);
        const auto found = cursor.key();
        if (cursor.row() != x.entries.row(i) || !std::equal(key.begin(), key.end(), found.begin(), found.end())) {
          defect(where + ": entry " + std::to_string(i) + " is for " + rowText(cursor.row()) + ", the rows give " +
                 rowText(x.entries.row(i)) + (cursor.row() == x.entries.row(i) ? " with another key" : ""));
          differs = true;
        }
      }
      if (!differs && i < x.entries.size()) defect(where + ": lacks the entry for " + rowText(x.entries.row(i)));
    } catch (const Error& e) {
      defect(where + ": " + e.what());
    }
    x.entries.clear();
  }

  // Some rows' keys cannot be built, so the tree's order cannot be compared: each entry whose
  // row's key can be built must carry that key, and every such row needs its entry; the
  // other entries are counted as unverified.
  void checkEntriesByRow(const std::string& where, IndexExpectation& x, uint32_t root) {
    std::map<RowId, size_t> byRow;
    for (size_t i = 0; i < x.entries.size(); ++i) byRow.emplace(x.entries.row(i), i);
    IndexEntryCursor cursor(pagerPages(pager), format, root);
    try {
      while (cursor.next()) {
        auto it = byRow.find(cursor.row());
        if (it == byRow.end()) {
          ++report.unverifiedEntries;
          continue;
        }
        const auto key = x.entries.key(it->second);
        const auto found = cursor.key();
        if (!std::equal(key.begin(), key.end(), found.begin(), found.end())) {
          defect(where + ": the entry for page " + std::to_string(it->first.page) + " row " +
                 std::to_string(it->first.row) + " has another key than the row gives");
        }
        byRow.erase(it);
      }
      if (!byRow.empty()) {
        defect(where + ": lacks the entry for page " + std::to_string(byRow.begin()->first.page) + " row " +
               std::to_string(byRow.begin()->first.row));
      }
    } catch (const Error& e) {
      defect(where + ": " + e.what());
    }
    x.entries.clear();
  }

  // Long-value pages the row's Memo and OLE columns refer to (the reader already resolved
  // them while decoding; here they are recorded as in use).
  void noteLongValues(const TableInfo& info, const RowBytes& bytes) {
    for (size_t i = 0; i < info.def.columns.size(); ++i) {
      const Column& c = info.def.columns[i];
      if (c.unknownKind || (c.kind != ColumnKind::Memo && c.kind != ColumnKind::OLE)) continue;
      // The values themselves were checked by decoding above; here only where they live.
      if (bytes.size < 4) continue;
      const uint8_t* row = bytes.data;
      size_t len = bytes.size;
      const ColumnStorage& s = info.storage[i];
      size_t start = 0;
      if (format == Format::Jet3) {
        const uint8_t columns = row[0];
        const size_t mask = (columns + 7u) / 8u;
        if (s.number >= columns || len < 1 + mask + 1) continue;
        if (!(row[len - mask + s.number / 8] & (1u << (s.number % 8)))) continue;
        if (s.varIndex >= row[len - mask - 1]) continue;
        try {
          start = codec::readJet3RowOffsets(row, len, mask)[s.varIndex];
        } catch (const Error&) {
          continue;
        }
      } else {
        uint16_t columns = le16(row);
        size_t mask = (columns + 7u) / 8u;
        if (s.number >= columns || len < 2 + mask + 2) continue;
        if (!(row[len - mask + s.number / 8] & (1u << (s.number % 8)))) continue;
        size_t countAt = len - mask - 2;
        uint16_t varCount = le16(row + countAt);
        if (s.varIndex >= varCount || countAt < 2u * varCount + 2u) continue;
        start = le16(row + countAt - 2 * (s.varIndex + 1u));
      }
      if (start + fl::kReferenceSize > len) continue;
      const uint8_t* ref = row + start;
      const codec::LongValueRef decoded = codec::decodeLongValueRef(ref);
      const uint8_t storage = decoded.storage;
      if (decoded.inlined()) continue;
      uint32_t page = decoded.first.page;
      uint16_t r = decoded.first.row;
      for (uint32_t hops = 0; page != 0 && page < pager.pageCount() && hops < pager.pageCount(); ++hops) {
        liveLongValuePages.insert(page);
        if (storage != fl::kChain) break;
        const Page& p = *pager.read(page);
        RowSlot slot;
        try {
          slot = dataPageRow(p, format, r);
        } catch (const Error&) {
          break;
        }
        if (slot.deleted || slot.size() < fl::kChainPointerSize) break;
        RowId next = codec::chainNext(p.data() + slot.start);
        r = static_cast<uint16_t>(next.row);
        page = next.page;
      }
    }
  }

  void checkLongValuePages() {
    for (uint32_t p = 1; p < pager.pageCount(); ++p) {
      const Page& page = *pager.read(p);
      if (!codec::DataPageView(page.data(), static_cast<uint32_t>(page.size()), format).isLongValuePage()) continue;
      if (liveLongValuePages.count(p)) claim(p, "long values");
      if (freePages.count(p) && liveLongValuePages.count(p)) {
        defect("long-value page " + std::to_string(p) + " is in use but free in the database's page map");
      }
    }
  }

  // Long-value pages the checked tables use must not be free in the database's page map.
  void checkLiveLongValuesUsed() {
    for (uint32_t p : liveLongValuePages) {
      if (freePages.count(p)) defect("long-value page " + std::to_string(p) + " is in use but free in the database's page map");
    }
  }

  // A page an object's map or tree names while the page map lists it as free is drift Access
  // leaves behind: the writer never takes such a page. Long-value pages are found through the
  // rows alone, so the writer could take one: that is damage (checkLongValuePages).
  void checkFreePagesUnused() {
    for (const auto& [page, who] : owner) {
      if (!freePages.count(page) || who == "long values") continue;
      drift("page " + std::to_string(page) + " of " + who + " is free in the database's page map (it is not reused)");
    }
  }

  // The converse: a page the page map counts as in use belongs to something. Pages left
  // behind that way are lost space, not damage.
  void checkUsedPagesOwned() {
    uint32_t lost = 0, first = 0;
    for (uint32_t p = 2; p < pager.pageCount(); ++p) {
      if (freePages.count(p) || owner.count(p)) continue;
      if (lost++ == 0) first = p;
    }
    if (lost > 0) {
      drift("lost pages: " + std::to_string(lost) + " page(s) in use in the database's page map belong to nothing (first: page " +
             std::to_string(first) + ")");
    }
  }
};

}  // namespace

StructureReport checkStructure(DatabaseImpl& db, CheckDepth depth) {
  Pager::ReadScope reading(db.pager());  // one state of the file, when it is open for reading
  Checker c{db, db.pager(), db.header.format, {}, {}, {}, {}};
  c.decodeRows = depth == CheckDepth::Full;
  c.report.pages = c.pager.pageCount();
  if (c.pager.pageCount() < 3) {
    c.defect("the file has " + std::to_string(c.pager.pageCount()) + " pages; a database has at least 3");
    return c.report;
  }
  c.readGlobalMap();
  c.report.freePages = static_cast<uint32_t>(c.freePages.size());
  // Every table the catalog lists, system tables included.
  std::vector<std::pair<std::string, uint32_t>> tables{{"MSysObjects", kCatalogPage}};
  try {
    for (const CatalogEntry& entry : readTableObjects(c.pager, db.catalog, db.header.codePage)) {
      if (entry.definitionPage == 0 || entry.definitionPage >= c.pager.pageCount()) {
        c.defect("table " + entry.name + " has its definition on page " + std::to_string(entry.definitionPage) +
                 ", outside the file");
        continue;
      }
      tables.emplace_back(entry.name, entry.definitionPage);
    }
  } catch (const Error& e) {
    c.defect(std::string("the catalog: ") + e.what());
  }
  for (const auto& [name, page] : tables) c.checkTable(name, page);
  c.checkLongValuePages();
  c.checkPageTypes();
  c.checkFreePagesUnused();
  c.checkUsedPagesOwned();
  return c.report;
}

namespace {

// One table of checkTables, checked on its own: what it found and the pages it claims.
struct TableFindings {
  std::string defect;  // the table could not be checked at all (not in the catalog, say)
  std::string name;
  uint32_t definitionPage = 0;
  StructureReport report;
  std::vector<std::pair<uint32_t, std::string>> claims;
  std::set<uint32_t> liveLongValuePages;
};

void checkApart(Checker& c, TableFindings& table) {
  c.report = StructureReport{};
  c.owner.clear();
  c.liveLongValuePages.clear();
  c.claimLog = &table.claims;
  c.checkTable(table.name, table.definitionPage);
  c.claimLog = nullptr;
  table.report = std::move(c.report);
  table.liveLongValuePages = std::move(c.liveLongValuePages);
}

}  // namespace

StructureReport checkTables(DatabaseImpl& db, const std::vector<std::string>& tables, DatabaseImpl* helper) {
  Pager::ReadScope reading(db.pager());
  Checker c{db, db.pager(), db.header.format, {}, {}, {}, {}};
  c.report.pages = c.pager.pageCount();
  if (c.pager.pageCount() < 3) {
    c.defect("the file has " + std::to_string(c.pager.pageCount()) + " pages; a database has at least 3");
    return c.report;
  }
  c.pastEndAllowed = false;
  if (c.pager.file().size() % c.pager.pageSize() != 0) {
    c.defect("the file ends in a partial page: it was cut short");
  }
  const FileStamp stamp = c.pager.file().stamp();
  c.readGlobalMap();

  // The catalog too (every write names its table through it), then the tables asked for.
  std::vector<TableFindings> found(tables.size() + 1);
  found[0].name = "MSysObjects";
  found[0].definitionPage = kCatalogPage;
  for (size_t i = 0; i < tables.size(); ++i) {
    TableFindings& t = found[i + 1];
    const CatalogEntry* entry = db.findTable(tables[i]);
    if (!entry) {
      t.defect = "table " + tables[i] + " is not in the catalog";
    } else if (entry->definitionPage == 0 || entry->definitionPage >= c.pager.pageCount()) {
      t.defect = "table " + entry->name + " has its definition on page " + std::to_string(entry->definitionPage) +
                 ", outside the file";
    } else {
      t.name = entry->name;
      t.definitionPage = entry->definitionPage;
    }
  }

  // Each table is checked apart, on this thread and, with a helper, a second one taking
  // tables as they come; what they find is put together in the tables' order below, so the
  // report is the same either way.
  std::atomic<size_t> next{0};
  // A checker of tables through an open, knowing the free pages read above.
  auto tableChecker = [&](DatabaseImpl& open) {
    Checker k{open, open.pager(), open.header.format, {}, {}, c.freePages, {}};
    k.pastEndAllowed = false;
    return k;
  };
  Checker mine = tableChecker(db);
  auto work = [&](Checker& k) {
    for (size_t i; (i = next.fetch_add(1)) < found.size();)
      if (found[i].defect.empty()) checkApart(k, found[i]);
  };
  std::exception_ptr helperFailed;
  std::optional<std::thread> second;
  std::optional<Pager::ReadScope> helperReading;
  std::optional<Checker> other;
  if (helper && helper->pager().file().stamp() == stamp && helper->pager().pageCount() == c.pager.pageCount()) {
    helperReading.emplace(helper->pager());
    other.emplace(tableChecker(*helper));
    try {
      second.emplace([&] {
        try {
          work(*other);
        } catch (...) {
          helperFailed = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      // No thread to spare: this one checks every table.
    }
  }
  try {
    work(mine);
  } catch (...) {
    next = found.size();  // the helper stops after its table
    if (second) second->join();
    throw;
  }
  if (second) {
    second->join();
    if (helperFailed) std::rethrow_exception(helperFailed);
    // Both opens must have read one state of the file.
    if (!(helper->pager().file().stamp() == stamp) || !(c.pager.file().stamp() == stamp)) {
      helperReading.reset();
      return checkTables(db, tables, nullptr);
    }
  }

  for (TableFindings& t : found) {
    if (!t.defect.empty()) {
      c.defect(t.defect);
      continue;
    }
    for (std::string& d : t.report.defects) c.defect(std::move(d));
    for (std::string& w : t.report.warnings) c.drift(std::move(w));
    c.report.tables += t.report.tables;
    c.report.rows += t.report.rows;
    c.report.unverifiedEntries += t.report.unverifiedEntries;
    for (const auto& [page, who] : t.claims) c.claim(page, who);
    c.liveLongValuePages.insert(t.liveLongValuePages.begin(), t.liveLongValuePages.end());
  }
  c.checkLiveLongValuesUsed();
  c.checkPageTypes();
  c.checkFreePagesUnused();
  return c.report;
}

}  // namespace jet
