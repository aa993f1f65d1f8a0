// Row-level reading cases of Access-written files: moved (overflow) rows read in place and
// in order, deleted columns, CJK text, long values, and a column kind the engine does not know.
#include <gtest/gtest.h>

#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/format/table_def.h"
#include "reader_fixtures.h"

namespace jet {
namespace {

std::vector<Row> allRows(const Database& db, const std::string& table) {
  std::vector<Row> rows;
  for (RowCursor c = db.table(table).scan(); c.next();) rows.push_back(c.values());
  return rows;
}

Value text(const char* s) { return std::string(s); }

TEST(ReadRows, MovedRowsAreReadWhereAccessListsThem) {
  QAR_REQUIRE_FIXTURES();
  for (const char* rel : {"access/jet4/overflowTestV2000.mdb", "access/jet3/overflowTestV1997.mdb"}) {
    auto path = testing::fixture(rel);
    if (path.empty()) continue;
    SCOPED_TRACE(rel);
    auto db = Database::open(path.string());
    auto rows = allRows(*db, "Table1");
    ASSERT_EQ(rows.size(), 7u);
    // Rows 3 and 5 were moved to other pages when they grew.
    EXPECT_EQ(rows[2], (Row{Null{}, text("row3col3"), Null{}, Null{}, Null{}, Null{}, Null{}, text("row3col9"), Null{}}));
    EXPECT_EQ(rows[4], (Row{Null{}, text("row5col2"), Null{}, Null{}, Null{}, Null{}, Null{}, Null{}, Null{}}));
    EXPECT_EQ(std::get<std::string>(rows[0][0]), "row1col1");
    EXPECT_EQ(std::get<std::string>(rows[6][5]), "row7col7");
  }
}

TEST(ReadRows, DeletedColumnsLeaveTheOthersIntact) {
  QAR_REQUIRE_FIXTURES();
  for (const char* rel : {"access/jet4/delColTestV2000.mdb", "access/jet3/delColTestV1997.mdb"}) {
    auto path = testing::fixture(rel);
    if (path.empty()) continue;
    SCOPED_TRACE(rel);
    auto db = Database::open(path.string());
    const TableDef& def = db->table("Table1").def();
    ASSERT_EQ(def.columns.size(), 4u);
    EXPECT_EQ(def.columns[3].name, "data2");
    // Column numbers keep the gaps the deleted columns left (the Jet 3 file was compacted).
    if (db->format() == Format::Jet4) {
      EXPECT_GT(def.columns[3].columnId, 3);
    }
    auto rows = allRows(*db, "Table1");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (Row{int32_t{0}, int32_t{2}, text("foo"), text("foo2")}));
    EXPECT_EQ(rows[1], (Row{int32_t{3}, int32_t{5}, text("bar"), text("bar2")}));
  }
}

TEST(ReadRows, CjkTextAndLongMemosAreExact) {
  QAR_REQUIRE_FIXTURES();
  auto path = testing::fixture("qar26m/autonum-replace/destination.mdb");
  if (path.empty()) GTEST_SKIP() << "qar26m/autonum-replace/destination.mdb not in the fixtures";
  auto db = Database::open(path.string());
  Table holders = db->table("HolderData");
  int name = holders.def().findColumn("HolderName");
  if (name < 0) name = 2;
  bool found = false;
  size_t longest = 0;
  const int remark = holders.def().findColumn("Remark");
  for (RowCursor c = holders.scan(); c.next();) {
    if (auto* s = std::get_if<std::string>(&c.values()[name]); s && *s == "\xE9\xBB\x83\xE7\xBF\xB0\xE4\xBF\x8A") {
      found = true;  // 黃翰俊
    }
    if (remark >= 0) {
      if (auto* s = std::get_if<std::string>(&c.values()[remark])) longest = std::max(longest, s->size());
    }
  }
  EXPECT_TRUE(found);
  EXPECT_GT(longest, 64u) << "expected memos stored outside the row";
}

TEST(ReadRows, UnknownColumnKindReadsAsRawBytesWithAWarning) {
  QAR_REQUIRE_FIXTURES();
  auto path = testing::fixture("access/jet4/testV2000.mdb");
  if (path.empty()) GTEST_SKIP() << "testV2000.mdb not in the fixtures";
  auto bytes = testing::readWholeFile(path);
  {
    // Find column C (a Byte) of Table1 and give it a kind byte no Access version writes.
    auto db = openDatabaseImpl(std::make_unique<MemoryFile>(bytes, false), "t.mdb", OpenMode::ReadOnly);
    TableImpl& t = db->table(*db->findTable("Table1"));
    int c = t.info.def.findColumn("C");
    ASSERT_GE(c, 0);
    auto where = t.info.locate(t.info.storage[c].descriptorOffset + format::tabledef::kColumnJet4.kind, 4096);
    bytes[static_cast<size_t>(where.page) * 4096 + where.offset] = 0x1F;
  }
  auto db = Database::adopt(openDatabaseImpl(std::make_unique<MemoryFile>(bytes, false), "t.mdb", OpenMode::ReadOnly));
  Table t = db->table("Table1");
  const Column& c = t.def().columns[2];
  EXPECT_TRUE(c.unknownKind);
  EXPECT_EQ(c.rawKind, 0x1F);
  auto rows = allRows(*db, "Table1");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][2], Value(Bytes{2}));
  ASSERT_EQ(db->warnings().size(), 1u);
  EXPECT_NE(db->warnings()[0].find("unknown column kind 0x1f"), std::string::npos) << db->warnings()[0];
}

}  // namespace
}  // namespace jet
