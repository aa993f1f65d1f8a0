// Index upkeep on copies of Access-written files: inserts, updates and deletes through
// indexed tables, then after each flush and reopen every row is found through every index,
// index order is the encoded key order, the structure check passes and mdbtools still reads
// the file. Unique indexes refuse duplicate keys (letter case ignored) and change nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "jet/collation.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/index/index_lookup.h"
#include "jet/index/key_encoder.h"
#include "jet/io/file.h"
#include "jet/write/index_rebuild.h"
#include "jet/write/write_session.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace {

using jet::testing::TempDir;
using jet::testing::fixture;

// Every index of the table against its rows: entry count, order, and a seek for each row.
void expectIndexesMatchRows(const jet::Database& db, const std::string& tableName) {
  jet::Table table = db.table(tableName);
  std::map<jet::RowId, jet::Row> rows;
  auto cursor = table.scan();
  while (cursor.next()) rows.emplace(cursor.id(), cursor.values());
  ASSERT_EQ(rows.size(), table.rowCount());
  for (const jet::Index& index : table.def().indexes) {
    if (index.firstPage == 0) continue;  // shares another index's pages
    SCOPED_TRACE("index " + index.name);
    jet::KeyEncoder encoder(table.def(), index, db.format());
    std::vector<jet::KeyBytes> keys;
    size_t count = 0;
    auto scan = table.indexScan(index.name);
    while (scan.next()) {
      auto it = rows.find(scan.id());
      ASSERT_NE(it, rows.end()) << "index entry for a row that is not there";
      jet::KeyBytes key;
      encoder.encodeRow(it->second, key);
      if (!keys.empty()) {
        ASSERT_LE(keys.back(), key) << "entries out of key order";
      }
      keys.push_back(std::move(key));
      ++count;
    }
    size_t expected = 0;
    for (const auto& [id, row] : rows) {
      if (index.ignoreNulls && encoder.allNull(row)) continue;
      ++expected;
      jet::Row key;
      for (const jet::IndexColumn& c : index.columns) key.push_back(row[c.column]);
      std::optional<jet::RowId> found = table.seek(index.name, key);
      ASSERT_TRUE(found.has_value()) << "a row is not found through the index";
      if (index.unique) {
        EXPECT_EQ(*found, id);
      } else {
        jet::KeyBytes a, b;
        encoder.encodeRow(row, a);
        encoder.encodeRow(rows.at(*found), b);
        EXPECT_EQ(a, b);
      }
    }
    EXPECT_EQ(count, expected);
  }
}

void expectSoundFile(const std::filesystem::path& path, const std::string& tableName) {
  jet::StructureReport report = jet::testing::checkFile(path);
  EXPECT_TRUE(report.ok()) << jet::testing::describeDefects(report);
  if (jet::testing::haveMdbTools()) {
    std::string out = jet::testing::mdbExport(path, tableName);
    EXPECT_EQ(out.find("rror"), std::string::npos) << out.substr(0, 400);
  }
}

// Levels of the first index of a table, read from the file.
int firstIndexLevels(const std::filesystem::path& path, const std::string& tableName) {
  auto impl = jet::openDatabaseImpl(jet::openFile(path.string(), jet::FileAccess::ReadOnly), path.string(),
                                    jet::OpenMode::ReadOnly);
  const jet::CatalogEntry* entry = impl->findTable(tableName);
  if (!entry) return 0;
  const jet::TableInfo& info = impl->table(*entry).info;
  if (info.realIndexes.empty()) return 0;
  return jet::verifyIndexTree(jet::pagerPages(impl->pager()), info.format, info.realIndexes[0].firstPage).levels;
}

std::string randomText(std::mt19937& rng, size_t maxLength) {
  static const std::vector<std::string> pieces = {"a", "B", "z", "Q", "0", "9", " ", "-", "é", "Ä", "ß", "中", "文",
                                                  "ñ", "Ω", "x", "Y", "'", "_", "ø"};
  std::uniform_int_distribution<size_t> len(1, maxLength), pick(0, pieces.size() - 1);
  std::string s;
  for (size_t n = len(rng); n > 0; --n) s += pieces[pick(rng)];
  return s;
}

class IndexWriteTest : public ::testing::Test {
 protected:
  std::filesystem::path copyOf(const std::string& relative) {
    std::filesystem::path source = fixture(relative);
    if (source.empty()) return {};
    return dir_.copy(source);
  }
  TempDir dir_;
};

// Two text indexes over long random keys: enough rows for several leaf pages and an
// intermediate level; then most rows go and the trees shrink back.
TEST_F(IndexWriteTest, TextIndexesGrowAndShrinkOverManyPages) {
  QAR_REQUIRE_FIXTURES();
  auto path = copyOf("access/jet4/bigIndexTestV2000.mdb");
  if (path.empty()) GTEST_SKIP() << "access/jet4/bigIndexTestV2000.mdb not found";
  std::mt19937 rng(7);
  std::vector<jet::RowId> ids;
  {
    auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("Table1");
    for (int i = 0; i < 1500; ++i) {
      jet::Row r{randomText(rng, i % 10 == 0 ? 250 : 30), i % 7 == 0 ? jet::Value{} : jet::Value{randomText(rng, 20)}};
      ids.push_back(t.insert(r));
    }
    db->flush();
    expectIndexesMatchRows(*db, "Table1");
    for (size_t i = 0; i < ids.size(); i += 5) t.update(ids[i], jet::Row{randomText(rng, 40), std::string("same")});
    for (size_t i = 1; i < ids.size(); i += 3) t.remove(ids[i]);
    db->close();
  }
  {
    auto db = jet::Database::open(path.string());
    expectIndexesMatchRows(*db, "Table1");
  }
  expectSoundFile(path, "Table1");
  EXPECT_GE(firstIndexLevels(path, "Table1"), 2);
  {
    auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("Table1");
    std::vector<jet::RowId> live;
    auto c = t.scan();
    while (c.next()) live.push_back(c.id());
    for (size_t i = 0; i + 3 < live.size(); ++i) t.remove(live[i]);
    db->close();
  }
  {
    auto db = jet::Database::open(path.string());
    EXPECT_EQ(db->table("Table1").rowCount(), 3u);
    expectIndexesMatchRows(*db, "Table1");
  }
  expectSoundFile(path, "Table1");
  EXPECT_EQ(firstIndexLevels(path, "Table1"), 1);
}

// A descending Long index and a table with primary, plain and foreign-key indexes.
TEST_F(IndexWriteTest, NumericIndexesStayInStepOnAccessFixtures) {
  QAR_REQUIRE_FIXTURES();
  auto comp = copyOf("access/jet4/compIndexTestV2000.mdb");
  auto plain = copyOf("access/jet4/indexTestV2000.mdb");
  if (comp.empty() || plain.empty()) GTEST_SKIP() << "compIndexTestV2000.mdb / indexTestV2000.mdb not found";
  std::mt19937 rng(11);
  {
    auto db = jet::Database::open(comp.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("Table1");
    std::uniform_int_distribution<int32_t> key(-100000, 100000);
    for (int i = 0; i < 2000; ++i) {
      jet::Row r{key(rng), randomText(rng, 20), jet::Value{}};
      t.insert(r);
    }
    db->close();
  }
  {
    auto db = jet::Database::open(comp.string());
    EXPECT_EQ(db->table("Table1").rowCount(), 2512u);
    expectIndexesMatchRows(*db, "Table1");
  }
  expectSoundFile(comp, "Table1");
  {
    auto db = jet::Database::open(plain.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("Table1");
    for (int32_t i = 100; i < 700; ++i) {
      jet::Row r{i, i % 3, jet::Value{}, "row " + std::to_string(i), i};
      t.insert(r);
    }
    auto c = t.scan();
    std::vector<jet::RowId> live;
    while (c.next()) live.push_back(c.id());
    for (size_t i = 0; i < live.size(); i += 4) t.remove(live[i]);
    db->close();
  }
  {
    auto db = jet::Database::open(plain.string());
    expectIndexesMatchRows(*db, "Table1");
  }
  expectSoundFile(plain, "Table1");
}

// The QAR26M destination: text and compound primary keys refuse duplicates, letter case
// ignored, and nothing changes; a key freed by a delete or an update can be used again.
TEST_F(IndexWriteTest, UniqueKeysRefuseDuplicatesAndChangeNothing) {
  QAR_REQUIRE_FIXTURES();
  auto path = copyOf("qar26m/basic/destination.mdb");
  if (path.empty()) GTEST_SKIP() << "qar26m/basic/destination.mdb not found";
  {
    auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("UserRightsData");
    const jet::TableDef& def = t.def();
    const int keyColumn = def.indexes.at(0).columns.at(0).column;
    auto c = t.scan();
    ASSERT_TRUE(c.next());
    jet::RowId firstId = c.id();
    jet::Row first = c.values();
    ASSERT_TRUE(std::holds_alternative<std::string>(first[keyColumn]));
    const std::string name = std::get<std::string>(first[keyColumn]);
    std::string swapped = name;
    for (char& ch : swapped) ch = std::islower(static_cast<unsigned char>(ch)) ? std::toupper(ch) : std::tolower(ch);

    jet::Row dup = first;
    dup[keyColumn] = swapped;
    for (size_t i = 0; i < def.columns.size(); ++i) {
      if (def.columns[i].autoNumber) dup[i] = jet::Value{};
    }
    const uint32_t before = t.rowCount();
    try {
      t.insert(dup);
      FAIL() << "a duplicate key was accepted";
    } catch (const jet::Error& e) {
      EXPECT_EQ(e.kind(), jet::ErrorKind::Constraint);
      EXPECT_NE(std::string(e.what()).find("duplicate key in index PrimaryKey of table UserRightsData"),
                std::string::npos)
          << e.what();
    }
    EXPECT_EQ(t.rowCount(), before);

    // Another row updated onto the first one's key is refused as well.
    ASSERT_TRUE(c.next());
    jet::RowId secondId = c.id();
    jet::Row second = c.values();
    jet::Row clash = second;
    clash[keyColumn] = swapped;
    EXPECT_THROW(t.update(secondId, clash), jet::Error);
    EXPECT_EQ(t.read(secondId), second);

    // A row may keep its own key, or change its letter case.
    jet::Row recased = first;
    recased[keyColumn] = swapped;
    t.update(firstId, recased);
    // Once the first row is gone its key is free.
    t.remove(firstId);
    t.insert(dup);
    db->close();
  }
  {
    auto db = jet::Database::open(path.string());
    expectIndexesMatchRows(*db, "UserRightsData");
  }
  expectSoundFile(path, "UserRightsData");
}

// Every indexed table of the destination takes rows and keeps its indexes.
TEST_F(IndexWriteTest, EveryDestinationTableKeepsItsIndexes) {
  QAR_REQUIRE_FIXTURES();
  auto path = copyOf("qar26m/basic/destination.mdb");
  if (path.empty()) GTEST_SKIP() << "qar26m/basic/destination.mdb not found";
  std::vector<std::string> changed;
  {
    auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
    for (const std::string& name : db->tableNames()) {
      auto t = db->table(name);
      if (t.def().indexes.empty()) continue;
      // Copies of the existing rows with every unique key's columns removed would clash; delete
      // half the rows and put them back instead.
      std::vector<std::pair<jet::RowId, jet::Row>> rows;
      auto c = t.scan();
      while (c.next()) rows.emplace_back(c.id(), c.values());
      for (size_t i = 0; i < rows.size(); i += 2) t.remove(rows[i].first);
      for (size_t i = 0; i < rows.size(); i += 2) {
        jet::Row r = rows[i].second;
        for (size_t k = 0; k < r.size(); ++k) {
          if (t.def().columns[k].autoNumber) r[k] = jet::Value{};
        }
        t.insert(r);
      }
      changed.push_back(name);
    }
    db->close();
  }
  ASSERT_FALSE(changed.empty());
  auto db = jet::Database::open(path.string());
  for (const std::string& name : changed) {
    SCOPED_TRACE(name);
    expectIndexesMatchRows(*db, name);
  }
  expectSoundFile(path, changed.front());
}

}  // namespace

namespace {

// A new table Cards: ID (Long, the primary key) and CardNo (Text(20), indexed; unique and
// ignoring Nulls when asked).
jet::Table createCards(jet::Database& db, bool uniqueCardNo) {
  jet::TableSpec blueprint;
  blueprint.name = "Cards";
  blueprint.columns = {{"ID", jet::ColumnKind::Long}, {"CardNo", jet::ColumnKind::Text, 20}};
  blueprint.indexes = {{"PrimaryKey", {"ID"}, true, true, false}, {"CardNo", {"CardNo"}, false, uniqueCardNo, uniqueCardNo}};
  return db.createTable(blueprint);
}

// A new table with a primary key and a unique text index keeps both as rows arrive.
TEST(IndexCreateTest, NewTableWithIndexesTakesRowsAndRefusesDuplicates) {
  jet::testing::TempDir dir;
  const std::filesystem::path path = dir.path() / "new.mdb";
  {
    auto db = jet::Database::create(path.string());
    auto t = createCards(*db, true);
    std::mt19937 rng(3);
    for (int32_t i = 0; i < 3000; ++i) {
      jet::Row r{i * 7 % 3001, i % 50 == 0 ? jet::Value{} : jet::Value{"c" + std::to_string(i) + "x"}};
      t.insert(r);
    }
    jet::Row dupId{7, std::string("new")};
    EXPECT_THROW(t.insert(dupId), jet::Error);
    jet::Row dupText{5000, std::string("C1X")};
    try {
      t.insert(dupText);
      FAIL() << "a duplicate text key was accepted";
    } catch (const jet::Error& e) {
      EXPECT_NE(std::string(e.what()).find("duplicate key in index CardNo of table Cards"), std::string::npos) << e.what();
    }
    db->close();
  }
  {
    auto db = jet::Database::open(path.string());
    EXPECT_EQ(db->table("Cards").rowCount(), 3000u);
    expectIndexesMatchRows(*db, "Cards");
    // Keys that are not there: below the first, between two, past the last.
    jet::Table t = db->table("Cards");
    for (int32_t absent : {-1, 2994, 3001, INT32_MAX}) {
      EXPECT_FALSE(t.seek("PrimaryKey", jet::Row{absent}).has_value()) << absent;
    }
    for (const char* absent : {"", "a", "c1", "c1xa", "zzz"}) {
      EXPECT_FALSE(t.seek("CardNo", jet::Row{std::string(absent)}).has_value()) << absent;
    }
    ASSERT_TRUE(t.seek("CardNo", jet::Row{std::string("C1X")}).has_value());
  }
  expectSoundFile(path, "Cards");
  EXPECT_GE(firstIndexLevels(path, "Cards"), 2);
}

// Look-ups between writes, before any flush: the rows just written are found, rows just
// removed are not, and pages read for one look-up never hide a later change.
TEST(IndexCreateTest, LookUpsSeeRowsNotYetFlushed) {
  jet::testing::TempDir dir;
  const std::filesystem::path path = dir.path() / "unflushed.mdb";
  auto db = jet::Database::create(path.string());
  auto t = createCards(*db, false);
  db->flush();
  std::vector<jet::RowId> ids;
  for (int32_t i = 0; i < 1200; ++i) {
    jet::Row r{i, "card " + std::to_string(i % 700)};
    ids.push_back(t.insert(r));
    if (i % 400 == 0) {
      EXPECT_EQ(t.seek("PrimaryKey", jet::Row{i}), ids.back());
    }
  }
  expectIndexesMatchRows(*db, "Cards");
  t.update(ids[5], jet::Row{5000, std::string("moved")});
  t.remove(ids[6]);
  EXPECT_FALSE(t.seek("PrimaryKey", jet::Row{5}).has_value());
  EXPECT_EQ(t.seek("PrimaryKey", jet::Row{5000}), ids[5]);
  EXPECT_EQ(t.seek("cardno", jet::Row{std::string("MOVED")}), ids[5]);
  EXPECT_FALSE(t.seek("PrimaryKey", jet::Row{6}).has_value());
  expectIndexesMatchRows(*db, "Cards");
  db->close();
  expectSoundFile(path, "Cards");
}

// Descending columns in new indexes: a descending primary key, a mixed text and number index
// and a descending date index with Nulls keep step with inserts, updates and deletes; the
// definition marks the columns as Access does (order byte 0) and the index runs from the
// largest value down.
TEST(IndexCreateTest, DescendingColumnsInNewIndexes) {
  jet::testing::TempDir dir;
  const std::filesystem::path path = dir.path() / "descending.mdb";
  std::mt19937 rng(17);
  {
    auto db = jet::Database::create(path.string());
    jet::TableSpec blueprint;
    blueprint.name = "Scores";
    blueprint.columns = {{"ID", jet::ColumnKind::Long},
                         {"Name", jet::ColumnKind::Text, 30},
                         {"Score", jet::ColumnKind::Double},
                         {"Taken", jet::ColumnKind::DateTime}};
    blueprint.indexes = {{"PrimaryKey", {"-ID"}, true, true, false},
                         {"NameScore", {"Name", "-Score"}},
                         {"Taken", {"-taken"}}};
    auto t = db->createTable(blueprint);
    std::vector<jet::RowId> ids;
    for (int32_t i = 0; i < 2500; ++i) {
      jet::Row r{i * 13 % 2503, randomText(rng, 12), static_cast<double>(static_cast<int>(rng() % 200) - 100) / 4,
                 i % 9 == 0 ? jet::Value{} : jet::Value{jet::DateTime{40000.0 + rng() % 5000}}};
      ids.push_back(t.insert(r));
    }
    for (size_t i = 0; i < ids.size(); i += 7) {
      jet::Row r = t.read(ids[i]);
      r[0] = static_cast<int32_t>(10000 + i);
      r[2] = -static_cast<double>(i);
      t.update(ids[i], r);
    }
    for (size_t i = 3; i < ids.size(); i += 5) t.remove(ids[i]);
    expectIndexesMatchRows(*db, "Scores");
    db->close();
  }
  {
    auto db = jet::Database::open(path.string());
    jet::Table t = db->table("Scores");
    const jet::Index* pk = t.def().findIndex("PrimaryKey");
    const jet::Index* mixed = t.def().findIndex("NameScore");
    ASSERT_TRUE(pk && mixed);
    EXPECT_FALSE(pk->columns.at(0).ascending);
    EXPECT_TRUE(mixed->columns.at(0).ascending);
    EXPECT_FALSE(mixed->columns.at(1).ascending);
    expectIndexesMatchRows(*db, "Scores");
    std::vector<int32_t> order;
    auto scan = t.indexScan("PrimaryKey");
    while (scan.next()) order.push_back(std::get<int32_t>(t.read(scan.id())[0]));
    ASSERT_EQ(order.size(), t.rowCount());
    EXPECT_TRUE(std::is_sorted(order.rbegin(), order.rend())) << "a descending key runs from the largest down";
    const auto found = t.seek("PrimaryKey", jet::Row{int32_t{10007}});
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(t.read(*found)[0], jet::Value(int32_t{10007}));
    // A key for the leading column only finds a row with that name.
    const jet::Value name = t.read(*found)[1];
    const auto byName = t.seek("NameScore", jet::Row{name});
    ASSERT_TRUE(byName.has_value());
    EXPECT_TRUE(jet::textKeysEqual(std::get<std::string>(t.read(*byName)[1]), std::get<std::string>(name)));
  }
  // The order bytes as stored: 0x01 ascending, 0x00 descending (what Access writes).
  auto impl = jet::openDatabaseImpl(jet::openFile(path.string(), jet::FileAccess::ReadOnly), path.string(),
                                    jet::OpenMode::ReadOnly);
  const jet::TableInfo& info = impl->table(*impl->findTable("Scores")).info;
  std::vector<int> orders;
  for (const jet::RealIndexInfo& real : info.realIndexes) {
    for (size_t slot = 0; slot < real.columns.size(); ++slot) {
      orders.push_back(info.bytes.at(real.descriptorOffset + 4 + slot * 3 + 2));
    }
  }
  EXPECT_EQ(orders, (std::vector<int>{0x00, 0x01, 0x00, 0x00}));
  impl.reset();
  expectSoundFile(path, "Scores");
  if (jet::testing::haveMdbTools()) {
    // mdbtools reads the order as Access wrote it.
    const std::string schema = jet::testing::runCommand("mdb-schema --indexes '" + path.string() + "' mysql 2>&1");
    EXPECT_NE(schema.find("ADD INDEX `NameScore` (`Name`, `Score` DESC)"), std::string::npos) << schema;
    EXPECT_NE(schema.find("ADD INDEX `Taken` (`Taken` DESC)"), std::string::npos) << schema;
  }
}

// The unique-key sets follow the operations: an insert or delete that is undone takes its
// change to the keys back with it, one that is kept keeps it.
TEST(IndexCreateTest, UndoneWritesTakeTheirKeysBack) {
  jet::testing::TempDir dir;
  const std::string path = (dir.path() / "undo.mdb").string();
  {
    auto db = jet::Database::create(path);
    auto t = createCards(*db, true);
    for (int32_t i = 0; i < 10; ++i) {
      jet::Row r{i, "card " + std::to_string(i)};
      t.insert(r);
    }
    db->close();
  }
  auto impl = jet::openDatabaseImpl(jet::openFile(path, jet::FileAccess::ReadWrite), path, jet::OpenMode::ReadWrite);
  jet::TableImpl& table = impl->table(*impl->findTable("Cards"));
  jet::write::WriteContext& ctx = impl->writer().context();
  jet::write::IndexRebuild keys(ctx, table.info, table.decoder);
  const jet::Row fresh{int32_t{50}, std::string("card 50")};
  const jet::Row existing{int32_t{3}, std::string("card 3")};
  EXPECT_NO_THROW(keys.checkInsert(fresh));
  EXPECT_THROW(keys.checkInsert(existing), jet::Error);

  ctx.begin();
  keys.onInsert(jet::RowId{1, 0}, fresh);
  ctx.rollback();
  EXPECT_NO_THROW(keys.checkInsert(fresh)) << "an undone insert keeps its key";
  ctx.begin();
  keys.onRemove(jet::RowId{1, 3}, existing);
  ctx.rollback();
  EXPECT_THROW(keys.checkInsert(existing), jet::Error) << "an undone delete frees its key";

  ctx.begin();
  keys.onInsert(jet::RowId{1, 0}, fresh);
  keys.onRemove(jet::RowId{1, 3}, existing);
  ctx.commit();
  EXPECT_THROW(keys.checkInsert(fresh), jet::Error);
  EXPECT_NO_THROW(keys.checkInsert(existing));
}

}  // namespace

namespace {

// A key too long for an index page (ten Text(255) columns of accented letters in one index)
// is refused when the row is written, naming the index, and nothing else is lost: the rows
// written before and after it reach the file at the flush.
TEST(IndexCreateTest, KeysTooLongForAPageAreRefusedWhenWritten) {
  jet::testing::TempDir dir;
  const std::filesystem::path path = dir.path() / "wide.mdb";
  jet::TableSpec blueprint;
  blueprint.name = "Wide";
  jet::IndexSpec wide{"AllTen", {}, false, false, false};
  for (int i = 0; i < 10; ++i) {
    blueprint.columns.push_back(jet::ColumnSpec{"c" + std::to_string(i), jet::ColumnKind::Text, 255});
    wide.columns.push_back("c" + std::to_string(i));
  }
  blueprint.indexes.push_back(wide);
  std::string accented;
  for (int i = 0; i < 255; ++i) accented += "\xc3\xa9";
  {
    auto db = jet::Database::create(path.string());
    jet::Table t = db->createTable(blueprint);
    jet::Row small(10, std::string("a")), big(10, accented);
    t.insert(small);
    try {
      t.insert(big);
      FAIL() << "a key longer than an index page was accepted";
    } catch (const jet::Error& e) {
      EXPECT_EQ(e.kind(), jet::ErrorKind::Invalid);
      EXPECT_NE(std::string(e.what()).find("index AllTen of table Wide"), std::string::npos) << e.what();
    }
    jet::Row other(10, std::string("b"));
    const jet::RowId id = t.insert(other);
    EXPECT_THROW(t.update(id, big), jet::Error);
    db->close();
  }
  auto db = jet::Database::open(path.string());
  EXPECT_EQ(db->table("Wide").rowCount(), 2u);
  expectIndexesMatchRows(*db, "Wide");
}

}  // namespace
