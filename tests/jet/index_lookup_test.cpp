// Index look-ups on Access-written files: every row is found through every index by its own
// key, text keys are found whatever their letter case, absent keys are not found, and key
// prefixes find the first row that starts with them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "index_fixture_pages.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/index/index_lookup.h"
#include "jet/io/file.h"

namespace jet {
namespace {

std::string upper(const std::string& s) {
  std::string u = s;
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

TEST(IndexLookup, EveryRowIsFoundThroughEveryIndex) {
  std::vector<std::filesystem::path> files = testing::accessFixtures("jet4");
  const auto jet3 = testing::accessFixtures("jet3");
  files.insert(files.end(), jet3.begin(), jet3.end());
  if (files.empty()) GTEST_SKIP() << "no Access fixtures in " << testing::accessFixtureDir("jet4");
  uint64_t lookups = 0;
  for (const auto& path : files) {
    SCOPED_TRACE(path.filename().string());
    auto db = Database::open(path.string(), OpenMode::ReadOnly);
    auto file = openFile(path.string(), FileAccess::ReadOnly);
    Pager pager(*file, db->format() == Format::Jet4 ? 4096 : 2048);
    for (const std::string& name : db->tableNames()) {
      const Table table = db->table(name);
      const TableDef& def = table.def();
      std::vector<std::pair<RowId, Row>> rows;
      for (RowCursor c = table.scan(); c.next();) rows.emplace_back(c.id(), c.values());
      for (const Index& index : def.indexes) {
        if (index.firstPage == 0) continue;
        SCOPED_TRACE(name + "." + index.name);
        const KeyEncoder enc(def, index, db->format());
        for (const auto& [id, row] : rows) {
          if (index.ignoreNulls && enc.allNull(row)) continue;
          Row key;
          for (int at : enc.rowPositions()) key.push_back(row[at]);
          const auto found = seekIndex(pager, db->format(), enc, index, key);
          ASSERT_TRUE(found.has_value());
          ++lookups;
          // The first row with an equal key: this row for a unique index, else one whose
          // key is the same and whose id is not after this row's.
          KeyBytes mine, theirs;
          enc.encodeRow(row, mine);
          enc.encodeRow(table.read(*found), theirs);
          EXPECT_EQ(mine, theirs);
          EXPECT_LE(*found, id);
          // Rows with a Null in the key may share it even in a unique index.
          const bool anyNull = std::any_of(key.begin(), key.end(), [](const Value& v) { return isNull(v); });
          if (index.unique && !anyNull) {
            EXPECT_EQ(*found, id);
          }
          // Text keys ignore letter case.
          bool hasText = false;
          for (Value& v : key) {
            if (auto s = std::get_if<std::string>(&v)) {
              *s = upper(*s);
              hasText = true;
            }
          }
          if (hasText) {
            const auto again = seekIndex(pager, db->format(), enc, index, key);
            ASSERT_TRUE(again.has_value());
            EXPECT_EQ(*again, *found);
          }
        }
      }
    }
  }
  EXPECT_GT(lookups, 100u);
}

TEST(IndexLookup, KeyPrefixes) {
  const auto path = testing::accessFixtureDir("jet4") / "testIndexPropertiesV2000.mdb";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "fixture missing: " << path;
  auto db = Database::open(path.string(), OpenMode::ReadOnly);
  auto file = openFile(path.string(), FileAccess::ReadOnly);
  Pager pager(*file, 4096);
  bool tried = false;
  for (const std::string& name : db->tableNames()) {
    const Table table = db->table(name);
    const TableDef& def = table.def();
    for (const Index& index : def.indexes) {
      if (index.firstPage == 0 || index.columns.size() < 2) continue;
      const KeyEncoder enc(def, index, db->format());
      // The first entry in index order, found by the value of its first column alone.
      IndexEntryCursor cursor = scanIndex(pager, db->format(), index);
      if (!cursor.next()) continue;
      const RowId first = cursor.row();
      const Row row = table.read(first);
      const auto byPrefix = seekIndex(pager, db->format(), enc, index, Row{row[index.columns[0].column]});
      ASSERT_TRUE(byPrefix.has_value());
      EXPECT_EQ(*byPrefix, first);
      tried = true;
    }
  }
  EXPECT_TRUE(tried) << "no multi-column index in " << path;
}

TEST(IndexLookup, AbsentKeysAndWrongTypes) {
  const auto path = testing::accessFixtureDir("jet4") / "indexTestV2000.mdb";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "fixture missing: " << path;
  auto db = Database::open(path.string(), OpenMode::ReadOnly);
  auto file = openFile(path.string(), FileAccess::ReadOnly);
  Pager pager(*file, 4096);
  int tried = 0;
  for (const std::string& name : db->tableNames()) {
    const TableDef& def = db->table(name).def();
    for (const Index& index : def.indexes) {
      if (index.firstPage == 0 || index.columns.size() != 1) continue;
      if (def.columns[index.columns[0].column].kind != ColumnKind::Long) continue;
      EXPECT_FALSE(seekIndex(pager, db->format(), def, index, Row{int32_t{-987654321}}).has_value());
      EXPECT_THROW(seekIndex(pager, db->format(), def, index, Row{std::string("text")}), Error);
      ++tried;
    }
    Index none;
    none.name = "Nothing";
    EXPECT_THROW(scanIndex(pager, db->format(), none), Error);
  }
  EXPECT_GT(tried, 0);
}

}  // namespace
}  // namespace jet
