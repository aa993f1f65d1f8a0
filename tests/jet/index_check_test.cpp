// The structure check holds every index to its table's rows: an index tree that lacks an
// entry, has one too many, or points a key at the wrong row is reported (with the index's
// name), while rows whose key columns are all Null rightly stay out of an index that ignores
// Nulls. The trees are damaged on purpose by writing them anew from altered entries.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "jet/check/structure_check.h"
#include "jet/check/write_fitness.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/index/index_lookup.h"
#include "jet/index/index_tree.h"
#include "jet/io/file.h"
#include "jet/write/index_tree_writer.h"
#include "jet/write/write_session.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace {

struct Entry {
  jet::KeyBytes key;
  jet::RowId row;
};
using Alter = std::function<void(std::vector<Entry>&)>;

class IndexCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (dir_.path() / "check.mdb").string();
    std::filesystem::remove(path_);
    auto db = jet::Database::create(path_);
    jet::TableSpec blueprint;
    blueprint.name = "Cards";
    blueprint.columns = {{"ID", jet::ColumnKind::Long}, {"CardNo", jet::ColumnKind::Text, 20},
                         {"Holder", jet::ColumnKind::Text, 20}};
    blueprint.indexes = {{"PrimaryKey", {"ID"}, true, true, false},
                         {"CardNo", {"CardNo"}, false, false, true},  // ignores Nulls
                         {"Holder", {"Holder"}}};                      // keeps them
    auto t = db->createTable(blueprint);
    for (int32_t i = 0; i < 600; ++i) {
      jet::Row r{i, i % 4 == 0 ? jet::Value{} : jet::Value{"C" + std::to_string(i)},
                 i % 5 == 0 ? jet::Value{} : jet::Value{"H" + std::to_string(i % 40)}};
      t.insert(r);
    }
    db->close();
  }

  // Rewrites the tree of one index from its entries as altered.
  void rewrite(const std::string& indexName, const Alter& alter) {
    auto impl = jet::openDatabaseImpl(jet::openFile(path_, jet::FileAccess::ReadWrite), path_, jet::OpenMode::ReadWrite);
    jet::TableImpl& table = impl->table(*impl->findTable("Cards"));
    const jet::TableInfo& info = table.info;
    const jet::Index* index = info.def.findIndex(indexName);
    ASSERT_NE(index, nullptr);
    const jet::RealIndexInfo* real = nullptr;
    for (const jet::RealIndexInfo& r : info.realIndexes) {
      if (r.firstPage == index->firstPage) real = &r;
    }
    ASSERT_NE(real, nullptr);
    std::vector<Entry> entries;
    jet::IndexEntryCursor cursor(jet::pagerPages(impl->pager()), info.format, index->firstPage);
    while (cursor.next()) entries.push_back(Entry{jet::KeyBytes(cursor.key().begin(), cursor.key().end()), cursor.row()});
    alter(entries);
    std::vector<jet::IndexPageEntryRef> refs;
    for (const Entry& e : entries) refs.push_back(jet::IndexPageEntryRef{e.key, e.row, 0});
    jet::write::WriteContext& ctx = impl->writer().context();
    jet::write::IndexTreeTarget target{index->firstPage, real->usedPages, info.def.definitionPage, "test index"};
    jet::write::inOperation(ctx, [&] { jet::write::writeIndexTree(ctx, info.format, target, refs); });
    impl->close();
  }

  std::string defects() {
    jet::StructureReport report = jet::testing::checkFile(path_);
    return jet::testing::describeDefects(report);
  }

  jet::testing::TempDir dir_;
  std::string path_;
};

TEST_F(IndexCheckTest, SoundIndexesPassIncludingNullsLeftOut) {
  const jet::StructureReport report = jet::testing::checkFile(path_);
  EXPECT_TRUE(report.ok()) << jet::testing::describeDefects(report);
  auto db = jet::Database::open(path_);
  size_t cardEntries = 0, holderEntries = 0;
  for (auto scan = db->table("Cards").indexScan("CardNo"); scan.next();) ++cardEntries;
  for (auto scan = db->table("Cards").indexScan("Holder"); scan.next();) ++holderEntries;
  EXPECT_EQ(cardEntries, 450u);  // the 150 rows without a card number stay out
  EXPECT_EQ(holderEntries, 600u);
  db.reset();
  // The definition counts each index's distinct keys (Holder: the 32 names of rows whose number
  // is no multiple of five, and Null).
  auto impl = jet::openDatabaseImpl(jet::openFile(path_, jet::FileAccess::ReadOnly), path_, jet::OpenMode::ReadOnly);
  const jet::TableInfo& info = impl->table(*impl->findTable("Cards")).info;
  std::vector<uint32_t> counts;
  for (const jet::RealIndexInfo& real : info.realIndexes) {
    const uint8_t* p = info.bytes.data() + real.rowCountOffset + 4;
    counts.push_back(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
  }
  EXPECT_EQ(counts, (std::vector<uint32_t>{600, 450, 33}));
}

TEST_F(IndexCheckTest, AMissingEntryIsReported) {
  rewrite("PrimaryKey", [](std::vector<Entry>& e) { e.erase(e.begin() + 300); });
  const std::string found = defects();
  EXPECT_NE(found.find("table Cards: index PrimaryKey: holds 599 entries, the table has 600 rows that belong in it"),
            std::string::npos)
      << found;
  EXPECT_NE(found.find("index PrimaryKey: entry 300 is for"), std::string::npos) << found;
}

TEST_F(IndexCheckTest, AnEntryTooManyIsReported) {
  // A Null key in the index that ignores Nulls (it sorts first), and an entry past the end.
  rewrite("CardNo", [](std::vector<Entry>& e) { e.insert(e.begin(), Entry{jet::KeyBytes{0x00}, e.front().row}); });
  std::string found = defects();
  EXPECT_NE(found.find("index CardNo: holds 451 entries, the table has 450 rows that belong in it"), std::string::npos)
      << found;
  SetUp();
  rewrite("Holder", [](std::vector<Entry>& e) {
    Entry last = e.back();
    last.key.push_back(0x7F);
    e.push_back(last);
  });
  found = defects();
  EXPECT_NE(found.find("index Holder: has an entry for page"), std::string::npos) << found;
}

TEST_F(IndexCheckTest, AKeyPointingAtTheWrongRowIsReported) {
  // Two entries trade rows: the counts agree, the entries do not.
  rewrite("PrimaryKey", [](std::vector<Entry>& e) { std::swap(e[10].row, e[20].row); });
  const std::string found = defects();
  EXPECT_EQ(found.find("holds"), std::string::npos) << found;
  EXPECT_NE(found.find("index PrimaryKey: entry 10 is for"), std::string::npos) << found;
}

TEST_F(IndexCheckTest, AHugeRowCountInTheDefinitionIsReportedNotAllocated) {
  uint32_t at = 0;
  {
    auto impl = jet::openDatabaseImpl(jet::openFile(path_, jet::FileAccess::ReadOnly), path_, jet::OpenMode::ReadOnly);
    const jet::TableInfo& info = impl->table(*impl->findTable("Cards")).info;
    const jet::TableInfo::Location loc = info.locate(info.rowCountOffset, 4096);
    at = loc.page * 4096 + loc.offset;
  }
  auto bytes = jet::testing::readWholeFile(path_);
  for (int i = 0; i < 4; ++i) bytes[at + i] = 0xFF;
  jet::testing::writeWholeFile(path_, bytes);
  const std::string found = defects();
  EXPECT_NE(found.find("the definition counts 4294967295 rows, the pages hold 600"), std::string::npos) << found;
}

// An index whose text sort order the engine cannot encode makes the table unfit for writing:
// the check before a write names the index, the table and the sort order.
TEST_F(IndexCheckTest, ASortOrderTheEngineCannotKeepMakesTheTableUnfitForWriting) {
  auto db = jet::openDatabaseFile(path_, jet::OpenMode::ReadOnly);
  EXPECT_TRUE(jet::sortOrderDefects(*db, {"Cards"}).empty());
  EXPECT_TRUE(jet::checkFitForWriting(*db, {"Cards"}).ok());
  for (jet::Column& c : db->table(*db->findTable("Cards")).info.def.columns) {
    if (c.kind == jet::ColumnKind::Text) c.sortOrder.id = 0x0412;  // Korean: no key proven
  }
  const std::vector<std::string> defects = jet::sortOrderDefects(*db, {"Cards", "NoSuchTable"});
  ASSERT_EQ(defects.size(), 2u);
  EXPECT_NE(defects[0].find("of table Cards cannot be written: column CardNo uses the text sort order (1042, version 0)"),
            std::string::npos)
      << defects[0];
  EXPECT_FALSE(jet::checkFitForWriting(*db, {"Cards"}).ok());
}

}  // namespace
