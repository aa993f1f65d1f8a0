// Creating tables in copies of the empty databases Access writes: every column kind, the
// catalog entry and its indexes, rows of every kind read back by the engine and by mdbtools.
#include <gtest/gtest.h>

#include <cstdio>

#include "index_fixture_pages.h"
#include "jet/database.h"
#include "jet/index/index_tree.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace {

using jet::testing::TempDir;

std::string run(const std::string& command) { return jet::testing::runCommand(command); }
using jet::testing::haveMdbTools;

jet::TableSpec everyKind(const std::string& name) {
  using K = jet::ColumnKind;
  jet::TableSpec blueprint;
  blueprint.name = name;
  blueprint.columns = {{"ID", K::Long, 0, true},   {"Name", K::Text, 40},     {"Notes", K::Memo},
                  {"Active", K::YesNo},       {"Small", K::Byte},        {"Count", K::Integer},
                  {"Amount", K::Currency},    {"Ratio", K::Single},      {"Value", K::Double},
                  {"When", K::DateTime},      {"Picture", K::OLE},       {"Guid", K::ReplicationID},
                  {"Exact", K::Decimal, 0, false, true, 18, 4}, {"Raw", K::Binary, 16}};
  return blueprint;
}

jet::Row sampleRow(int i) {
  jet::Decimal d;
  d.negative = i % 2 == 1;
  d.scale = 4;
  d.magnitude = 123456789 + i;
  jet::Guid g;
  for (int k = 0; k < 16; ++k) g.bytes[k] = static_cast<uint8_t>(k * 16 + i);
  return jet::Row{jet::Null{},
                  std::string("Name ") + std::to_string(i) + (i == 2 ? " 名前" : ""),
                  std::string(static_cast<size_t>(i) * 700, 'm'),
                  i % 2 == 0,
                  static_cast<uint8_t>(200 + i),
                  static_cast<int16_t>(-1000 * i),
                  jet::Currency{1234567 * (i + 1)},
                  1.5f * i,
                  3.25 * i,
                  jet::DateTime{45000.25 + i},
                  jet::Bytes(static_cast<size_t>(i) * 3000, static_cast<uint8_t>(i)),
                  g,
                  d,
                  jet::Bytes{1, 2, 3, static_cast<uint8_t>(i)}};
}

class CreateTableTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    QAR_REQUIRE_FIXTURES();
    auto source = jet::testing::fixture("access/" + GetParam());
    if (source.empty()) GTEST_SKIP() << "access/" << GetParam() << " not found";
    path_ = dir_.copy(source);
  }
  TempDir dir_;
  std::filesystem::path path_;
};

TEST_P(CreateTableTest, TablesOfEveryKindReadBack) {
  std::vector<jet::Row> written;
  {
    auto db = jet::Database::open(path_.string(), jet::OpenMode::ReadWrite);
    auto t = db->createTable(everyKind("People"));
    db->createTable(jet::TableSpec{"Empty", {{"Only", jet::ColumnKind::Text, 10}}, {}});
    for (int i = 0; i < 4; ++i) {
      jet::Row r = sampleRow(i);
      t.insert(r);
      EXPECT_EQ(r[0], jet::Value(int32_t{i + 1}));  // the auto-number assigned
      written.push_back(r);
    }
    jet::Row explicitId = sampleRow(9);
    explicitId[0] = int32_t{77};
    EXPECT_THROW(t.insert(explicitId), jet::Error);
    EXPECT_THROW(db->createTable(everyKind("people")), jet::Error);  // names ignore case
    db->close();
  }
  auto db = jet::Database::open(path_.string());
  EXPECT_EQ(db->tableNames(), (std::vector<std::string>{"People", "Empty"}));
  auto t = db->table("People");
  const auto& cols = t.def().columns;
  ASSERT_EQ(cols.size(), 14u);
  EXPECT_TRUE(cols[0].autoNumber);
  EXPECT_EQ(cols[1].textLength(true), 40);
  EXPECT_EQ(cols[12].precision, 18);
  EXPECT_EQ(cols[12].scale, 4);
  EXPECT_EQ(t.rowCount(), 4u);
  EXPECT_EQ(t.def().nextAutoNumber, 5u);
  std::vector<jet::Row> read;
  auto cursor = t.scan();
  while (cursor.next()) read.push_back(cursor.values());
  ASSERT_EQ(read.size(), written.size());
  for (size_t i = 0; i < read.size(); ++i) EXPECT_EQ(read[i], written[i]) << "row " << i;

  // The catalog's indexes still hold one entry per catalog row, in order.
  jet::testing::RawPages pages(path_);
  for (uint32_t root : jet::testing::indexRoots(pages)) {
    EXPECT_NO_THROW(jet::verifyIndexTree(pages.fetcher(), pages.format(), root)) << "index page " << root;
  }
  if (haveMdbTools()) {
    EXPECT_NE(run("mdb-tables -1 '" + path_.string() + "'").find("People"), std::string::npos);
    std::string out = run("mdb-export '" + path_.string() + "' People");
    EXPECT_NE(out.find("\"Name 2 名前\""), std::string::npos) << out;
    EXPECT_NE(out.find(std::string(2100, 'm')), std::string::npos);
    std::string schema = run("mdb-schema '" + path_.string() + "' 2>/dev/null");
    EXPECT_NE(schema.find("People"), std::string::npos);
  }
}

TEST_P(CreateTableTest, BadDefinitionsAreRefusedAndNothingIsWritten) {
  auto before = jet::testing::readWholeFile(path_);
  {
    auto db = jet::Database::open(path_.string(), jet::OpenMode::ReadWrite);
    using K = jet::ColumnKind;
    EXPECT_THROW(db->createTable(jet::TableSpec{"", {{"a", K::Long}}, {}}), jet::Error);
    EXPECT_THROW(db->createTable(jet::TableSpec{"T", {}, {}}), jet::Error);
    EXPECT_THROW(db->createTable(jet::TableSpec{"T", {{"a", K::Long}, {"A", K::Text}}, {}}), jet::Error);
    EXPECT_THROW(db->createTable(jet::TableSpec{"T", {{"a", K::Text, 300}}, {}}), jet::Error);
    EXPECT_THROW(db->createTable(jet::TableSpec{"T", {{"a", K::Text, 10, true}}, {}}), jet::Error);
    EXPECT_THROW(db->createTable(jet::TableSpec{"MSysMine", {{"a", K::Long}}, {}}), jet::Error);
    EXPECT_THROW(db->createTable(jet::TableSpec{"Bad.Name", {{"a", K::Long}}, {}}), jet::Error);
    EXPECT_THROW(db->createTable(jet::TableSpec{"T", {{"a", K::Long}}, {{"ix", {"b"}}}}), jet::Error);
    EXPECT_THROW(db->createTable(jet::TableSpec{"T", {{"a", K::Long}}, {{"ix", {"a", "a"}}}}), jet::Error);
    EXPECT_THROW(db->createTable(jet::TableSpec{"T", {{"a", K::OLE}}, {{"ix", {"a"}}}}), jet::Error);
    db->close();
  }
  EXPECT_EQ(jet::testing::readWholeFile(path_), before);
}

INSTANTIATE_TEST_SUITE_P(EmptyAccessDatabases, CreateTableTest,
                         ::testing::Values("empty-jet4-2000.mdb", "empty-jet4-2003.mdb"));

}  // namespace
