// Access 97 indexes written anew from their tables' rows: on a copy of every Jet 3 fixture,
// each index is laid out again by the engine's own rebuild and must hold exactly the entries
// Access wrote, byte for byte, in a tree the structural check accepts; the rows, every data
// page and what mdbtools reads stay as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>

#include "index_fixture_pages.h"
#include "jet/check/structure_check.h"
#include "jet/check/write_fitness.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/index/index_tree.h"
#include "jet/io/file.h"
#include "jet/write/index_rebuild.h"
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

std::vector<IndexRoot> indexRootsOf(const std::filesystem::path& path) {
  auto impl = openDatabaseImpl(openFile(path.string(), FileAccess::ReadOnly), path.string(), OpenMode::ReadOnly);
  std::vector<IndexRoot> out;
  for (const CatalogEntry& entry : impl->userTables()) {
    const TableInfo& info = impl->table(entry).info;
    for (size_t r = 0; r < info.realIndexes.size(); ++r) {
      out.push_back(IndexRoot{info.realIndexes[r].firstPage, info.def.definitionPage,
                              entry.name + " index " + std::to_string(r)});
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
  int indexes = 0, multiLevel = 0, indexPagesChanged = 0;
  uint64_t entries = 0;
  for (const auto& source : files) {
    SCOPED_TRACE(source.filename().string());
    const auto copy = dir.copy(source);
    const RawPages before(source);
    const std::vector<IndexRoot> roots = indexRootsOf(source);
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
    // Data pages (rows and long values) are the same bytes; only index pages, the page map
    // and the definitions' key counts may change.
    for (uint32_t n = 1; n < before.pageCount() && n < after.pageCount(); ++n) {
      const auto a = before.page(n), b = after.page(n);
      if (a[0] == kIndexLeafPage || a[0] == kIndexNodePage) indexPagesChanged += !std::equal(a.begin(), a.end(), b.begin());
      if (a[0] != 0x01) continue;
      EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin())) << "data page " << n << " changed";
    }
    const StructureReport report = testing::checkFile(copy);
    EXPECT_TRUE(report.ok()) << testing::describeDefects(report);
    for (const auto& [table, text] : exported) EXPECT_EQ(testing::mdbExport(copy, table), text) << table;
  }
  EXPECT_GT(indexes, 0);
  EXPECT_GT(multiLevel, 0) << "no fixture index spans more than one level";
  EXPECT_GT(indexPagesChanged, 0) << "no index page was written";
  std::cout << indexes << " Access 97 indexes (" << multiLevel << " of several levels), " << entries
            << " entries written anew over " << indexPagesChanged << " changed pages, byte for byte as Access wrote them\n";
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
