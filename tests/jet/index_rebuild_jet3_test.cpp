// Access 97 indexes written anew from their tables' rows: on a copy of every Jet 3 fixture,
// each index is laid out again by the engine's own rebuild and must hold exactly the entries
// Access wrote, byte for byte, in a tree the structural check accepts; the rows, every data
// page and what mdbtools reads stay as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "index_fixture_pages.h"
#include "jet/check/structure_check.h"
#include "jet/check/write_fitness.h"
#include "jet/codec/usage_map_view.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/index/index_lookup.h"
#include "jet/index/index_tree.h"
#include "jet/io/file.h"
#include "jet/usage_map.h"
#include "jet/write/index_rebuild.h"
#include "jet/write/index_tree_writer.h"
#include "jet/write/write_session.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace jet {
namespace {

using testing::RawPages;

struct StoredEntry {
  std::vector<uint8_t> key;
  RowId row;
  bool operator==(const StoredEntry&) const = default;
};

std::string hex(const std::vector<uint8_t>& key) {
  std::ostringstream s;
  for (uint8_t b : key) s << std::hex << (b < 16 ? "0" : "") << int(b) << ' ';
  return s.str();
}

std::vector<StoredEntry> entriesOf(const RawPages& pages, uint32_t root) {
  std::vector<StoredEntry> out;
  IndexEntryCursor cursor(pages.fetcher(), pages.format(), root);
  while (cursor.next()) out.push_back(StoredEntry{{cursor.key().begin(), cursor.key().end()}, cursor.row()});
  return out;
}

// Index roots of every user table, with the table's definition page and a name for messages.
struct IndexRoot {
  uint32_t root = 0, owner = 0;
  std::string name;
};

// Also gathers, as page * pageSize + offset, the bytes of the definitions that count each
// index's distinct keys (the only definition bytes a rebuild rewrites).
std::vector<IndexRoot> indexRootsOf(const std::filesystem::path& path, std::set<uint64_t>* countBytes = nullptr) {
  auto impl = openDatabaseImpl(openFile(path.string(), FileAccess::ReadOnly), path.string(), OpenMode::ReadOnly);
  const uint32_t pageSize = impl->header.pageSize;
  std::vector<IndexRoot> out;
  for (const CatalogEntry& entry : impl->userTables()) {
    const TableInfo& info = impl->table(entry).info;
    for (size_t r = 0; r < info.realIndexes.size(); ++r) {
      out.push_back(IndexRoot{info.realIndexes[r].firstPage, info.def.definitionPage,
                              entry.name + " index " + std::to_string(r)});
      for (uint32_t k = 0; countBytes && k < 4; ++k) {
        const TableInfo::Location at = info.locate(info.realIndexes[r].distinctKeysOffset + k, pageSize);
        countBytes->insert(uint64_t{at.page} * pageSize + at.offset);
      }
    }
  }
  return out;
}

// Writes every index of every user table anew from its rows, through one flush.
int rewriteEveryIndex(const std::filesystem::path& path) {
  auto impl = openDatabaseImpl(openFile(path.string(), FileAccess::ReadWrite), path.string(), OpenMode::ReadWrite);
  write::WriteSession& session = impl->writer();
  int rewritten = 0;
  std::vector<CatalogEntry> tables = impl->userTables();
  for (const CatalogEntry& entry : tables) {
    TableImpl& table = impl->table(entry);
    if (table.info.realIndexes.empty()) continue;
    write::IndexRebuild rebuild(session.context(), table.info, table.decoder);
    rebuild.requireRebuildable();
    rebuild.requestRewrite();
    rebuild.rebuild();
    rewritten += static_cast<int>(table.info.realIndexes.size());
  }
  session.flush();
  impl->close();
  return rewritten;
}

TEST(Jet3IndexRebuild, EveryIndexOfAccess97FilesIsWrittenAsAccessWroteIt) {
  QAR_REQUIRE_FIXTURES();
  const auto files = testing::accessFixtures("jet3");
  if (files.empty()) GTEST_SKIP() << "no Access 97 fixtures in " << testing::accessFixtureDir("jet3");
  testing::TempDir dir;
  int indexes = 0, multiLevel = 0, indexPagesChanged = 0, countsChanged = 0;
  uint64_t entries = 0;
  for (const auto& source : files) {
    SCOPED_TRACE(source.filename().string());
    const auto copy = dir.copy(source);
    const RawPages before(source);
    std::set<uint64_t> countBytes;
    const std::vector<IndexRoot> roots = indexRootsOf(source, &countBytes);
    std::map<std::string, std::string> exported;
    const bool mdb = testing::haveMdbTools();
    {
      auto impl = openDatabaseImpl(openFile(source.string(), FileAccess::ReadOnly), source.string(), OpenMode::ReadOnly);
      for (const CatalogEntry& e : impl->userTables()) {
        if (mdb) exported[e.name] = testing::mdbExport(source, e.name);
      }
    }

    ASSERT_NO_THROW(rewriteEveryIndex(copy));

    const RawPages after(copy);
    for (const IndexRoot& r : roots) {
      SCOPED_TRACE(r.name);
      if (verifyIndexTree(before.fetcher(), before.format(), r.root).levels > 1) ++multiLevel;
      const IndexTreeStats stats = verifyIndexTree(after.fetcher(), after.format(), r.root, r.owner);
      const std::vector<StoredEntry> want = entriesOf(before, r.root), got = entriesOf(after, r.root);
      EXPECT_EQ(stats.entries, got.size());
      ASSERT_EQ(got.size(), want.size());
      for (size_t i = 0; i < want.size(); ++i) {
        ASSERT_EQ(got[i], want[i]) << "entry " << i << "\n  Access: " << hex(want[i].key) << "@" << want[i].row.page
                                   << ":" << want[i].row.row << "\n  engine: " << hex(got[i].key) << "@"
                                   << got[i].row.page << ":" << got[i].row.row;
      }
      ++indexes;
      entries += got.size();
    }
    // Data pages (rows and long values) are the same bytes; in the definitions only the
    // counts of distinct keys may change.
    for (uint32_t n = 1; n < before.pageCount() && n < after.pageCount(); ++n) {
      const auto a = before.page(n), b = after.page(n);
      if (a[0] == kIndexLeafPage || a[0] == kIndexNodePage) indexPagesChanged += !std::equal(a.begin(), a.end(), b.begin());
      if (a[0] == 0x01) EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin())) << "data page " << n << " changed";
      if (a[0] != 0x02) continue;
      for (size_t k = 0; k < a.size(); ++k) {
        if (a[k] == b[k]) continue;
        EXPECT_TRUE(countBytes.count(uint64_t{n} * a.size() + k)) << "definition page " << n << " byte " << k << " changed";
        countsChanged += countBytes.count(uint64_t{n} * a.size() + k) ? 1 : 0;
      }
    }
    const StructureReport report = testing::checkFile(copy);
    EXPECT_TRUE(report.ok()) << testing::describeDefects(report);
    for (const auto& [table, text] : exported) EXPECT_EQ(testing::mdbExport(copy, table), text) << table;
  }
  EXPECT_GT(indexes, 0);
  EXPECT_GT(multiLevel, 0) << "no fixture index spans more than one level";
  EXPECT_GT(indexPagesChanged, 0) << "no index page was written";
  std::cout << indexes << " Access 97 indexes (" << multiLevel << " of several levels), " << entries
            << " entries written anew over " << indexPagesChanged << " changed pages (" << countsChanged
            << " bytes of distinct-key counts differ from Access's), byte for byte as Access wrote them\n";
}

// The tree writer on 2 KB pages against a model: one index of an Access 97 file is written
// again and again with random entries (keys of every length up to what a page takes, runs of
// shared prefixes), growing to several levels and shrinking to nothing. Each time the tree
// holds exactly the model's entries, the index's page map lists its pages, pages it gave up
// are free, and no data page changes; with Access's own entries put back, the whole file
// passes the structure check.
TEST(Jet3IndexRebuild, TreesGrowAndShrinkOnSmallPagesAsTheModelSays) {
  QAR_REQUIRE_FIXTURES();
  const auto source = testing::fixture("access/jet3/testIndexCodesV1997.mdb");
  if (source.empty()) GTEST_SKIP() << "access/jet3/testIndexCodesV1997.mdb not found";
  testing::TempDir dir;
  const auto copy = dir.copy(source);
  const RawPages original(source);

  std::mt19937 rng(1997);
  std::uniform_int_distribution<int> byte(0, 255);
  auto randomKey = [&](size_t length) {
    std::vector<uint8_t> k(length);
    const size_t shared = length > 3 && rng() % 2 ? rng() % length : 0;  // a common head, then random bytes
    for (size_t i = 0; i < length; ++i) k[i] = i < shared ? static_cast<uint8_t>(0x40 + i % 7) : byte(rng);
    return k;
  };
  std::vector<StoredEntry> accessEntries;
  int maxLevels = 0;
  const std::vector<size_t> sizes{3000, 1, 0, 800, 12000, 40, 5000, 0, 2};
  for (size_t round = 0; round <= sizes.size(); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    auto impl = openDatabaseImpl(openFile(copy.string(), FileAccess::ReadWrite), copy.string(), OpenMode::ReadWrite);
    const TableInfo& info = impl->table(*impl->findTable("Table1")).info;
    const RealIndexInfo& real = info.realIndexes.at(0);
    if (round == 0) accessEntries = entriesOf(original, real.firstPage);
    std::vector<StoredEntry> model;
    if (round == sizes.size()) {
      model = accessEntries;
    } else {
      std::set<std::pair<std::vector<uint8_t>, RowId>> unique;
      const size_t longest = rng() % 2 ? 40 : kJet3IndexPage.entryRoom() / 3;
      while (unique.size() < sizes[round]) {
        const size_t length = 1 + rng() % longest;
        unique.emplace(randomKey(length), RowId{1 + static_cast<uint32_t>(rng() % 0xFFFFFE), static_cast<uint16_t>(rng() % 256)});
      }
      for (const auto& [key, row] : unique) model.push_back(StoredEntry{key, row});
    }
    std::vector<IndexPageEntryRef> refs;
    for (const StoredEntry& e : model) refs.push_back(IndexPageEntryRef{e.key, e.row, 0});
    const uint32_t before = impl->pager().pageCount();
    std::set<uint32_t> oldTree;
    {
      IndexPageFetcher fetch = [&](uint32_t n) {
        oldTree.insert(n);
        return std::span<const uint8_t>(impl->pager().read(n)->bytes);
      };
      verifyIndexTree(fetch, Format::Jet3, real.firstPage, info.def.definitionPage);
    }
    write::WriteSession& session = impl->writer();
    write::WriteContext& ctx = session.context();
    write::IndexTreeTarget target{real.firstPage, real.usedPages, info.def.definitionPage, "index 0 of Table1"};
    write::inOperation(ctx, [&] { write::writeIndexTree(ctx, Format::Jet3, target, refs); });
    session.flush();

    std::set<uint32_t> tree;
    IndexPageFetcher fetch = [&](uint32_t n) {
      tree.insert(n);
      return std::span<const uint8_t>(impl->pager().read(n)->bytes);
    };
    const IndexTreeStats stats = verifyIndexTree(fetch, Format::Jet3, real.firstPage, info.def.definitionPage);
    maxLevels = std::max(maxLevels, stats.levels);
    std::vector<StoredEntry> got;
    IndexEntryCursor cursor(pagerPages(impl->pager()), Format::Jet3, real.firstPage);
    while (cursor.next()) got.push_back(StoredEntry{{cursor.key().begin(), cursor.key().end()}, cursor.row()});
    ASSERT_EQ(got.size(), model.size());
    EXPECT_TRUE(got == model) << "the tree does not hold the model's entries";
    const UsageMapInfo used = readUsageMap(impl->pager(), Format::Jet3, real.usedPages);
    const std::set<uint32_t> mapped(used.pages.begin(), used.pages.end());
    for (uint32_t n : tree) {
      EXPECT_TRUE(mapped.count(n)) << "page " << n << " of the tree is not in the index's page map";
      EXPECT_FALSE(ctx.isFreeInMap(n)) << "page " << n << " of the tree is free in the database's page map";
    }
    for (uint32_t n : oldTree) {
      if (tree.count(n) || n >= impl->pager().pageCount()) continue;
      // (or it took in a bitmap page of the page map, moved down from the end of the file)
      if (codec::isMapPage(impl->pager().read(n)->data())) continue;
      EXPECT_TRUE(ctx.isFreeInMap(n)) << "page " << n << ", given up, is not free";
      EXPECT_FALSE(mapped.count(n)) << "page " << n << ", given up, is still in the index's page map";
    }
    if (model.size() < 100) {
      EXPECT_LE(impl->pager().pageCount(), before) << "a smaller tree made the file grow";
    }
    // Data pages other than those of the page maps (the database's, on page 1, and the index's).
    std::set<uint32_t> mapPages{1, real.usedPages.page};
    mapPages.insert(used.mapPages.begin(), used.mapPages.end());
    for (uint32_t n = 1; n < original.pageCount(); ++n) {
      const auto a = original.page(n);
      if (a[0] != 0x01 || mapPages.count(n)) continue;
      const auto& b = impl->pager().read(n)->bytes;
      EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin())) << "data page " << n << " changed";
    }
    impl->close();
  }
  EXPECT_GE(maxLevels, 3);
  const StructureReport report = testing::checkFile(copy);
  EXPECT_TRUE(report.ok()) << testing::describeDefects(report);
  if (testing::haveMdbTools()) EXPECT_EQ(testing::mdbExport(copy, "Table1"), testing::mdbExport(source, "Table1"));
}

// Text indexes of an Access 97 file whose keys the engine cannot build: another sort order
// (even one whose ASCII keys are proven in Access 2000 files) or text in another code page.
// The fitness check names every such index, and rewriting refuses before anything is written.
TEST(Jet3IndexRebuild, OtherSortOrdersAndCodePagesAreRefusedNamingTheIndex) {
  QAR_REQUIRE_FIXTURES();
  const auto source = testing::fixture("access/jet3/testIndexCodesV1997.mdb");
  if (source.empty()) GTEST_SKIP() << "access/jet3/testIndexCodesV1997.mdb not found";
  struct Case {
    std::string what;
    std::function<void(const std::filesystem::path&)> relabel;
  };
  const std::vector<Case> cases{
      {"", [](const std::filesystem::path&) {}},
      {"1031", [](const std::filesystem::path& p) { testing::relabelTextSortOrders(p, SortOrder{1031, 0}); }},
      {"2052", [](const std::filesystem::path& p) { testing::relabelTextSortOrders(p, SortOrder{2052, 0}); }},
      {"code page 1251", [](const std::filesystem::path& p) { testing::relabelTextCodePages(p, 1251); }},
  };
  testing::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what.empty() ? "as Access wrote it" : c.what);
    const auto copy = dir.path() / ("relabelled" + std::to_string(&c - cases.data()) + ".mdb");
    std::filesystem::copy_file(source, copy);
    c.relabel(copy);
    const std::vector<uint8_t> bytes = testing::readWholeFile(copy);
    size_t textIndexes = 0;
    std::vector<std::string> defects;
    {
      auto impl = openDatabaseImpl(openFile(copy.string(), FileAccess::ReadOnly), copy.string(), OpenMode::ReadOnly);
      std::vector<std::string> names;
      for (const CatalogEntry& e : impl->userTables()) {
        names.push_back(e.name);
        const TableDef& def = impl->table(e).info.def;
        for (const Index& index : def.indexes) {
          for (const IndexColumn& ic : index.columns) {
            if (def.columns[ic.column].kind == ColumnKind::Text) {
              ++textIndexes;
              break;
            }
          }
        }
      }
      defects = sortOrderDefects(*impl, names);
      const StructureReport fitness = checkFitForWriting(*impl, names);
      EXPECT_EQ(fitness.ok(), c.what.empty()) << testing::describeDefects(fitness);
    }
    ASSERT_GT(textIndexes, 0u);
    if (c.what.empty()) {
      EXPECT_TRUE(defects.empty()) << defects.front();
      continue;
    }
    EXPECT_EQ(defects.size(), textIndexes);
    for (const std::string& d : defects) {
      EXPECT_NE(d.find("index "), std::string::npos) << d;
      EXPECT_NE(d.find(c.what), std::string::npos) << d;
    }
    try {
      rewriteEveryIndex(copy);
      ADD_FAILURE() << "indexes rewritten";
    } catch (const Error& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Unsupported);
      EXPECT_NE(std::string(e.what()).find("index "), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.what), std::string::npos) << e.what();
    }
    EXPECT_EQ(testing::readWholeFile(copy), bytes) << "the file changed";
  }
}

}  // namespace
}  // namespace jet
