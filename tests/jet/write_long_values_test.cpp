// Memo values written inline, as one long-value row and as a chain of rows; replaced and
// released; Decimal values rescaled to their column. Checked through the engine and mdbtools.
#include <gtest/gtest.h>

#include <cstdio>

#include "jet/database.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace {

using jet::testing::TempDir;

std::string run(const std::string& command) { return jet::testing::runCommand(command); }

// Long-value pages still in use ("LVAL" owner, page type 0x01).
int liveLongValuePages(const std::filesystem::path& path) {
  auto bytes = jet::testing::readWholeFile(path);
  int pages = 0;
  for (size_t at = 0; at + 4096 <= bytes.size(); at += 4096) {
    if (bytes[at] == 0x01 && bytes[at + 4] == 'L' && bytes[at + 5] == 'V' && bytes[at + 6] == 'A' &&
        bytes[at + 7] == 'L')
      ++pages;
  }
  return pages;
}

std::string repeat(const std::string& unit, size_t times) {
  std::string s;
  for (size_t i = 0; i < times; ++i) s += unit;
  return s;
}

jet::Decimal dec(bool negative, unsigned __int128 magnitude, uint8_t scale) {
  jet::Decimal d;
  d.negative = negative;
  d.magnitude = magnitude;
  d.scale = scale;
  return d;
}

class WriteLongValuesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QAR_REQUIRE_FIXTURES();
    auto source = jet::testing::fixture("access/jet4/fixedNumericTestV2000.mdb");
    if (source.empty()) GTEST_SKIP() << "access/jet4/fixedNumericTestV2000.mdb not found";
    path_ = dir_.copy(source);
  }
  jet::Row row(const jet::Value& memo) {
    return jet::Row{memo, int32_t{7}, jet::Null{}, jet::Null{}, jet::Null{}, jet::Null{}, jet::Null{}};
  }
  TempDir dir_;
  std::filesystem::path path_;
};

TEST_F(WriteLongValuesTest, MemosOfEverySizeReadBack) {
  const std::string small = "short memo";
  const std::string oneRow = repeat("x", 3000);                 // compressed: one long-value row
  const std::string chained = repeat("漢字かな", 5000);           // 40,000 bytes of UTF-16: a chain
  const std::string longAscii = repeat("0123456789", 1500);     // past the compression limit
  int lvalBefore = liveLongValuePages(path_);
  std::vector<jet::RowId> ids;
  {
    auto db = jet::Database::open(path_.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("test");
    for (const auto& text : {small, oneRow, chained, longAscii, std::string()}) {
      jet::Row r = row(text);
      ids.push_back(t.insert(r));
    }
    db->close();
  }
  EXPECT_GT(liveLongValuePages(path_), lvalBefore);
  {
    auto db = jet::Database::open(path_.string());
    auto t = db->table("test");
    EXPECT_EQ(t.read(ids[0])[0], jet::Value(small));
    EXPECT_EQ(t.read(ids[1])[0], jet::Value(oneRow));
    EXPECT_EQ(t.read(ids[2])[0], jet::Value(chained));
    EXPECT_EQ(t.read(ids[3])[0], jet::Value(longAscii));
    EXPECT_EQ(t.read(ids[4])[0], jet::Value(std::string()));
  }
  if (run("command -v mdb-export").find("mdb-export") != std::string::npos) {
    std::string out = run("mdb-export '" + path_.string() + "' test");
    EXPECT_NE(out.find(chained), std::string::npos);
    EXPECT_NE(out.find(longAscii), std::string::npos);
    EXPECT_NE(out.find(oneRow), std::string::npos);
  }
  // Replacing the long values with short ones and deleting the rows frees their pages.
  {
    auto db = jet::Database::open(path_.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("test");
    t.update(ids[2], row(std::string("now short")));
    t.remove(ids[1]);
    t.remove(ids[3]);
    EXPECT_EQ(t.read(ids[2])[0], jet::Value(std::string("now short")));
    db->close();
  }
  EXPECT_EQ(liveLongValuePages(path_), lvalBefore);
  auto db = jet::Database::open(path_.string());
  EXPECT_EQ(db->table("test").rowCount(), 4u);
}

TEST_F(WriteLongValuesTest, DecimalsAreRescaledAndCheckedAgainstTheColumn) {
  auto db = jet::Database::open(path_.string(), jet::OpenMode::ReadWrite);
  auto t = db->table("test");
  const auto& columns = t.def().columns;
  jet::Row r = row(jet::Null{});
  int col = -1;
  for (size_t i = 1; i < columns.size(); ++i) {
    if (columns[i].kind == jet::ColumnKind::Decimal && columns[i].precision >= 6 && columns[i].precision <= 27) {
      col = static_cast<int>(i);
      break;
    }
  }
  if (col < 0) GTEST_SKIP() << "no Decimal column of 6 to 27 digits in the fixture";
  const uint8_t scale = columns[col].scale;
  r[col] = dec(true, 12345, 0);  // -12345, stored with the column's scale
  jet::RowId id = t.insert(r);
  jet::Value back = t.read(id)[col];
  ASSERT_TRUE(std::holds_alternative<jet::Decimal>(back));
  auto d = std::get<jet::Decimal>(back);
  unsigned __int128 scaled = 12345;
  for (int i = 0; i < scale; ++i) scaled *= 10;
  EXPECT_TRUE(d.negative);
  EXPECT_EQ(d.scale, scale);
  EXPECT_TRUE(d.magnitude == scaled);
  jet::Row tooPrecise = row(jet::Null{});
  tooPrecise[col] = dec(false, 1, static_cast<uint8_t>(scale + 1));
  EXPECT_THROW(t.insert(tooPrecise), jet::Error);
  jet::Row tooBig = row(jet::Null{});
  unsigned __int128 huge = 1;
  for (int i = 0; i < 28; ++i) huge *= 10;
  tooBig[col] = dec(false, huge, 0);
  EXPECT_THROW(t.insert(tooBig), jet::Error);
  EXPECT_EQ(t.rowCount(), 2u);
}

}  // namespace
