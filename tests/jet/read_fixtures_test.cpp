// Reading every shared fixture database: every user table scans completely, scan counts
// match the counts stored in the table definitions, and the values of known tables are exact.
#include <gtest/gtest.h>

#include <set>

#include "jet/database.h"
#include "reader_fixtures.h"

namespace jet {
namespace {

using testing::allFixtureDatabases;
using testing::fixture;

TEST(ReadFixtures, EveryTableOfEveryFixtureScansToItsStoredRowCount) {
  QAR_REQUIRE_FIXTURES();
  auto files = allFixtureDatabases();
  ASSERT_FALSE(files.empty());
  for (const auto& path : files) {
    SCOPED_TRACE(path.string());
    auto db = Database::open(path.string());
    for (const auto& name : db->tableNames()) {
      SCOPED_TRACE(name);
      Table table = db->table(name);
      uint32_t rows = 0;
      std::set<RowId> ids;
      RowCursor cursor = table.scan();
      while (cursor.next()) {
        ++rows;
        EXPECT_EQ(cursor.values().size(), table.def().columns.size());
        EXPECT_TRUE(ids.insert(cursor.id()).second) << "row listed twice";
      }
      EXPECT_EQ(rows, table.rowCount());
    }
  }
}

TEST(ReadFixtures, EmptyDatabasesHaveNoUserTables) {
  QAR_REQUIRE_FIXTURES();
  for (const char* name : {"access/empty-jet4-2000.mdb", "access/empty-jet4-2003.mdb"}) {
    auto path = fixture(name);
    if (path.empty()) continue;
    auto db = Database::open(path.string());
    EXPECT_EQ(db->format(), Format::Jet4);
    EXPECT_TRUE(db->tableNames().empty()) << name;
    EXPECT_EQ(db->codePage(), 1252);
    EXPECT_EQ(db->sortOrder().id, 1033);
  }
}

// Table1 of the Jackcess test databases: A Text, B Text, C Byte, D Integer, E Long,
// F Double, G Date/Time, H Currency, I Yes/No; two rows.
void expectTestTable1(const Database& db) {
  ASSERT_EQ(db.tableNames(), (std::vector<std::string>{"Table1", "Table2", "Table3", "Table4"}));
  Table t = db.table("table1");  // names match ignoring case
  const TableDef& def = t.def();
  ASSERT_EQ(def.columns.size(), 9u);
  EXPECT_EQ(def.columns[0].name, "A");
  EXPECT_EQ(def.columns[0].kind, ColumnKind::Text);
  EXPECT_EQ(def.columns[2].kind, ColumnKind::Byte);
  EXPECT_EQ(def.columns[5].kind, ColumnKind::Double);
  EXPECT_EQ(def.columns[7].kind, ColumnKind::Currency);
  EXPECT_EQ(def.columns[8].kind, ColumnKind::YesNo);
  std::vector<Row> rows;
  for (RowCursor c = t.scan(); c.next();) rows.push_back(c.values());
  ASSERT_EQ(rows.size(), 2u);
  // Jet 3 files list the two rows the other way round.
  if (std::get<std::string>(rows[0][0]) != "abcdefg") std::swap(rows[0], rows[1]);
  const Row& r = rows[0];
  EXPECT_EQ(std::get<std::string>(r[0]), "abcdefg");
  EXPECT_EQ(std::get<std::string>(r[1]), "hijklmnop");
  EXPECT_EQ(std::get<uint8_t>(r[2]), 2);
  EXPECT_EQ(std::get<int16_t>(r[3]), 222);
  EXPECT_EQ(std::get<int32_t>(r[4]), 333333333);
  EXPECT_DOUBLE_EQ(std::get<double>(r[5]), 444.555);
  EXPECT_DOUBLE_EQ(std::get<DateTime>(r[6]).days, 27293.0);  // 1974-09-21
  EXPECT_EQ(std::get<Currency>(r[7]).scaled, 35000);
  EXPECT_EQ(std::get<bool>(r[8]), true);
  EXPECT_EQ(std::get<bool>(rows[1][8]), false);
  EXPECT_EQ(std::get<std::string>(rows[1][0]), "a");

  // Indexes: a primary key on A, a plain index on B.
  const Index* pk = def.findIndex("PrimaryKey");
  ASSERT_NE(pk, nullptr);
  EXPECT_TRUE(pk->primary);
  EXPECT_TRUE(pk->unique);
  ASSERT_EQ(pk->columns.size(), 1u);
  EXPECT_EQ(pk->columns[0].column, 0);
  EXPECT_TRUE(pk->columns[0].ascending);
  EXPECT_NE(pk->firstPage, 0u);
  const Index* b = def.findIndex("B");
  ASSERT_NE(b, nullptr);
  EXPECT_FALSE(b->primary);
  EXPECT_FALSE(b->unique);
}

TEST(ReadFixtures, KnownValuesOfTestV2000AndTestV1997) {
  QAR_REQUIRE_FIXTURES();
  auto jet4 = fixture("access/jet4/testV2000.mdb");
  auto jet3 = fixture("access/jet3/testV1997.mdb");
  if (jet4.empty() || jet3.empty()) GTEST_SKIP() << "testV2000.mdb / testV1997.mdb not in the fixtures";
  auto db4 = Database::open(jet4.string());
  EXPECT_EQ(db4->format(), Format::Jet4);
  expectTestTable1(*db4);
  auto db3 = Database::open(jet3.string());
  EXPECT_EQ(db3->format(), Format::Jet3);
  expectTestTable1(*db3);

  // Table3: an auto-number a and Text b; Table4: a Replication ID generated on insert.
  const TableDef& t3 = db4->table("Table3").def();
  EXPECT_TRUE(t3.columns[0].autoNumber);
  EXPECT_EQ(kindName(t3.columns[0].kind, t3.columns[0].autoNumber), "AutoNumber");
  const TableDef& t4 = db4->table("Table4").def();
  EXPECT_EQ(t4.columns[1].kind, ColumnKind::ReplicationID);
  EXPECT_TRUE(t4.columns[1].autoNumber);
}

TEST(ReadFixtures, MissingTableIsNotFound) {
  QAR_REQUIRE_FIXTURES();
  auto path = fixture("access/jet4/testV2000.mdb");
  if (path.empty()) GTEST_SKIP() << "testV2000.mdb not in the fixtures";
  auto db = Database::open(path.string());
  EXPECT_FALSE(db->hasTable("NoSuchTable"));
  EXPECT_FALSE(db->hasTable("MSysObjects"));  // system tables are not user tables
  try {
    db->table("NoSuchTable");
    FAIL() << "expected NotFound";
  } catch (const Error& e) {
    EXPECT_EQ(e.kind(), ErrorKind::NotFound);
    EXPECT_NE(std::string(e.what()).find("NoSuchTable"), std::string::npos);
  }
}

TEST(ReadFixtures, ReadByRowIdGivesTheScannedRow) {
  QAR_REQUIRE_FIXTURES();
  auto path = fixture("qar26m/basic/source.mdb");
  if (path.empty()) GTEST_SKIP() << "qar26m/basic/source.mdb not in the fixtures";
  auto db = Database::open(path.string());
  for (const auto& name : db->tableNames()) {
    Table t = db->table(name);
    for (RowCursor c = t.scan(); c.next();) {
      ASSERT_EQ(t.read(c.id()), c.values()) << name;
    }
  }
  Table t = db->table(db->tableNames().front());
  EXPECT_THROW(t.read(RowId{1, 0}), Error);
  EXPECT_THROW(t.read(RowId{100000000, 0}), Error);
}

}  // namespace
}  // namespace jet
