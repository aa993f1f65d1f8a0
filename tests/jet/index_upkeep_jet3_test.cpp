// Index upkeep in Access 97 files through the table API: every indexed table of every Jet 3
// fixture takes random inserts, updates and deletes against a model (duplicates refused and
// changing nothing), with flushes and reopenings between rounds; afterwards every row is
// found through every index, index order is key order, the structure check passes and
// mdbtools reads every row. One index grows over several levels and shrinks back.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/index/index_lookup.h"
#include "jet/index/index_tree.h"
#include "jet/index/key_encoder.h"
#include "jet/io/file.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace {

using jet::testing::jet3Fixtures;

using Model = std::map<jet::RowId, jet::Row>;

Model readAll(const jet::Table& t) {
  Model rows;
  for (auto c = t.scan(); c.next();) rows[c.id()] = c.values();
  return rows;
}

// Text in code page 1252: letters of both cases (so keys clash ignoring case), digits, blanks
// and letters above 0x7F.
std::string randomText(std::mt19937& rng, size_t maxLength) {
  static const std::vector<std::string> pieces{"a", "B", "c", "D", "e", "0", "7", " ", "-", "\xc3\xa9", "\xc3\x84",
                                               "\xc3\x9f", "\xc3\xb1", "\xc3\xb8", "\xe2\x82\xac", "'", "x", "Y"};
  const size_t length = 1 + rng() % std::max<size_t>(maxLength, 1);
  std::string s;
  for (size_t i = 0; i < length; ++i) s += pieces[rng() % pieces.size()];
  return s;
}

// Whether a column must hold a value: not nullable, or in a required index.
bool requiredColumn(const jet::TableDef& def, size_t column) {
  if (!def.columns[column].nullable) return true;
  for (const jet::Index& index : def.indexes) {
    if (!index.required && !index.primary) continue;
    for (const jet::IndexColumn& c : index.columns) {
      if (static_cast<size_t>(c.column) == column) return true;
    }
  }
  return false;
}

// A value for the column from small pools, so keys repeat now and then.
jet::Value randomValue(std::mt19937& rng, const jet::TableDef& def, size_t column) {
  const jet::Column& c = def.columns[column];
  if (c.autoNumber) return jet::Null{};
  if (c.kind != jet::ColumnKind::YesNo && !requiredColumn(def, column) && rng() % 8 == 0) return jet::Null{};
  switch (c.kind) {
    case jet::ColumnKind::YesNo:
      return rng() % 2 == 0;
    case jet::ColumnKind::Byte:
      return static_cast<uint8_t>(rng() % 60);
    case jet::ColumnKind::Integer:
      return static_cast<int16_t>(static_cast<int>(rng() % 4000) - 2000);
    case jet::ColumnKind::Long:
      return static_cast<int32_t>(rng() % 200000) - 100000;
    case jet::ColumnKind::Currency:
      return jet::Currency{static_cast<int64_t>(rng() % 2000000) - 1000000};
    case jet::ColumnKind::Single:
      return static_cast<float>(static_cast<int>(rng() % 4000) - 2000) / 8.0f;
    case jet::ColumnKind::Double:
      return static_cast<double>(static_cast<int>(rng() % 400000) - 200000) / 16.0;
    case jet::ColumnKind::DateTime:
      return jet::DateTime{static_cast<double>(rng() % 40000) + static_cast<double>(rng() % 24) / 24.0};
    case jet::ColumnKind::Text:
      return randomText(rng, rng() % 4 == 0 ? c.size : std::min<size_t>(c.size, 12));
    case jet::ColumnKind::Memo:
      return randomText(rng, 300);
    case jet::ColumnKind::ReplicationID: {
      jet::Guid g;
      for (auto& b : g.bytes) b = static_cast<uint8_t>(rng());
      return g;
    }
    case jet::ColumnKind::Binary:
    case jet::ColumnKind::OLE: {
      jet::Bytes b(rng() % 20);
      for (auto& x : b) x = static_cast<uint8_t>(rng());
      return b;
    }
    case jet::ColumnKind::Decimal:
      break;
  }
  return jet::Null{};
}

jet::Row randomRow(std::mt19937& rng, const jet::TableDef& def) {
  jet::Row row;
  for (size_t i = 0; i < def.columns.size(); ++i) row.push_back(randomValue(rng, def, i));
  return row;
}

// Every index of the table against its rows: the index holds exactly the rows (less those an
// index that ignores Nulls leaves out), in key order, and a seek finds each row's key.
void expectIndexesMatchRows(const jet::Database& db, const jet::Table& table, const Model& rows) {
  for (const jet::Index& index : table.def().indexes) {
    if (index.firstPage == 0) continue;  // shares another index's pages
    SCOPED_TRACE("index " + index.name);
    jet::KeyEncoder encoder(table.def(), index, db.format());
    std::vector<jet::RowId> listed;
    jet::KeyBytes last, key;
    for (auto scan = table.indexScan(index.name); scan.next();) {
      auto it = rows.find(scan.id());
      ASSERT_NE(it, rows.end()) << "an entry for a row that is not there";
      key.clear();
      encoder.encodeRow(it->second, key);
      ASSERT_LE(last, key) << "entries out of key order";
      last = key;
      listed.push_back(scan.id());
    }
    std::vector<jet::RowId> expected;
    for (const auto& [id, row] : rows) {
      if (index.ignoreNulls && encoder.allNull(row)) continue;
      expected.push_back(id);
      jet::Row wanted;
      for (const jet::IndexColumn& c : index.columns) wanted.push_back(row[c.column]);
      const std::optional<jet::RowId> found = table.seek(index.name, wanted);
      ASSERT_TRUE(found.has_value()) << "a row is not found through the index";
      jet::KeyBytes a, b;
      encoder.encodeRow(row, a);
      encoder.encodeRow(rows.at(*found), b);
      EXPECT_EQ(a, b);
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, expected);
  }
}

bool indexed(const jet::Table& t) { return !t.def().indexes.empty(); }

TEST(Jet3IndexUpkeep, RandomWritesToEveryIndexedTableMatchTheModel) {
  QAR_REQUIRE_FIXTURES();
  const bool mdbtools = jet::testing::haveMdbTools();
  int tables = 0, refusedDuplicates = 0;
  for (const auto& source : jet3Fixtures()) {
    jet::testing::TempDir dir;
    const auto path = dir.copy(source);
    std::vector<std::string> names;
    std::map<std::string, Model> models;
    {
      auto db = jet::Database::open(path.string());
      for (const auto& name : db->tableNames()) {
        const jet::Table t = db->table(name);
        if (!indexed(t)) continue;
        names.push_back(name);
        models[name] = readAll(t);
      }
    }
    std::mt19937 rng(static_cast<unsigned>(names.size() * 31 + source.string().size()));
    for (int round = 0; round < 3; ++round) {
      auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
      for (const auto& name : names) {
        SCOPED_TRACE(source.filename().string() + " table " + name + " round " + std::to_string(round));
        jet::Table t = db->table(name);
        Model& model = models[name];
        for (int op = 0; op < 80; ++op) {
          const unsigned pick = rng() % 10;
          try {
            if (pick < 5 || model.empty()) {
              jet::Row row = randomRow(rng, t.def());
              const jet::RowId id = t.insert(row);
              ASSERT_EQ(model.count(id), 0u);
              model[id] = t.read(id);
            } else {
              auto it = model.begin();
              std::advance(it, static_cast<long>(rng() % model.size()));
              if (pick < 8) {
                // Some columns changed, the rest kept (auto-numbers always kept).
                jet::Row row = it->second;
                for (size_t c = 0; c < row.size(); ++c) {
                  if (!t.def().columns[c].autoNumber && rng() % 2 == 0) row[c] = randomValue(rng, t.def(), c);
                }
                t.update(it->first, row);
                it->second = t.read(it->first);
              } else {
                t.remove(it->first);
                model.erase(it);
              }
            }
          } catch (const jet::Error& e) {
            ASSERT_EQ(e.kind(), jet::ErrorKind::Constraint) << e.what();
            ++refusedDuplicates;
          }
        }
        ASSERT_EQ(readAll(t), model);
        if (round == 1) {
          db->flush();
          expectIndexesMatchRows(*db, t, model);
        }
      }
      db->close();
    }
    auto db = jet::Database::open(path.string());
    for (const auto& name : names) {
      SCOPED_TRACE(source.filename().string() + " table " + name);
      const jet::Table t = db->table(name);
      EXPECT_EQ(readAll(t), models[name]);
      EXPECT_EQ(t.rowCount(), models[name].size());
      expectIndexesMatchRows(*db, t, models[name]);
      if (mdbtools) {
        // One line per row, and the line breaks some of Access's own values hold.
        const std::string out = jet::testing::mdbExport(path, name);
        size_t breaks = 0;
        for (const auto& [id, row] : models[name]) {
          for (const jet::Value& v : row) {
            if (const auto* text = std::get_if<std::string>(&v)) breaks += std::count(text->begin(), text->end(), '\n');
          }
        }
        EXPECT_EQ(static_cast<size_t>(std::count(out.begin(), out.end(), '\n')), models[name].size() + 1 + breaks) << out;
      }
      ++tables;
    }
    const jet::StructureReport report = jet::testing::checkFile(path);
    EXPECT_TRUE(report.ok()) << source << "\n" << jet::testing::describeDefects(report);
  }
  if (!jet3Fixtures().empty()) {
    EXPECT_GT(tables, 20);
    EXPECT_GT(refusedDuplicates, 0) << "no write met a duplicate key";
  }
}

// Levels of the index tree, read from the file.
int indexLevels(const std::filesystem::path& path, const std::string& tableName, const std::string& indexName) {
  auto impl = jet::openDatabaseImpl(jet::openFile(path.string(), jet::FileAccess::ReadOnly), path.string(),
                                    jet::OpenMode::ReadOnly);
  const jet::TableInfo& info = impl->table(*impl->findTable(tableName)).info;
  const jet::Index* index = info.def.findIndex(indexName);
  return jet::verifyIndexTree(jet::pagerPages(impl->pager()), info.format, index->firstPage).levels;
}

// Text keys up to 100 characters in a unique and a plain index: thousands of rows split the
// trees over several levels; updates lengthen the keys and move rows; then nearly every row
// goes and the trees shrink back to a single page each.
TEST(Jet3IndexUpkeep, TextIndexesSplitAndMergeThroughManyRows) {
  QAR_REQUIRE_FIXTURES();
  const auto source = jet::testing::fixture("access/jet3/testIndexCodesV1997.mdb");
  if (source.empty()) GTEST_SKIP() << "access/jet3/testIndexCodesV1997.mdb not found";
  jet::testing::TempDir dir;
  const auto path = dir.copy(source);
  const int initialLevels = indexLevels(path, "Table1", "DataIndex");
  std::mt19937 rng(97);
  Model model;
  {
    auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
    jet::Table t = db->table("Table1");
    model = readAll(t);
    for (int i = 0; i < 4000; ++i) {
      jet::Row row{randomText(rng, 30) + " #" + std::to_string(i), randomText(rng, i % 10 == 0 ? 100 : 40)};
      model[t.insert(row)] = row;
    }
    db->flush();
    expectIndexesMatchRows(*db, t, model);
    int k = 0;
    for (auto& [id, row] : model) {
      if (k++ % 4 != 0) continue;
      row[1] = randomText(rng, 60) + std::string(40, 'z');
      t.update(id, row);
    }
    db->close();
  }
  {
    auto db = jet::Database::open(path.string());
    const jet::Table t = db->table("Table1");
    EXPECT_EQ(readAll(t), model);
    expectIndexesMatchRows(*db, t, model);
  }
  const jet::StructureReport grown = jet::testing::checkFile(path);
  EXPECT_TRUE(grown.ok()) << jet::testing::describeDefects(grown);
  EXPECT_GE(indexLevels(path, "Table1", "DataIndex"), std::max(initialLevels, 3));
  EXPECT_GE(indexLevels(path, "Table1", "PrimaryKey"), 2);
  {
    auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
    jet::Table t = db->table("Table1");
    while (model.size() > 3) {
      auto it = model.begin();
      std::advance(it, static_cast<long>(rng() % model.size()));
      t.remove(it->first);
      model.erase(it);
    }
    db->close();
  }
  {
    auto db = jet::Database::open(path.string());
    const jet::Table t = db->table("Table1");
    EXPECT_EQ(readAll(t), model);
    expectIndexesMatchRows(*db, t, model);
  }
  const jet::StructureReport shrunk = jet::testing::checkFile(path);
  EXPECT_TRUE(shrunk.ok()) << jet::testing::describeDefects(shrunk);
  EXPECT_EQ(indexLevels(path, "Table1", "DataIndex"), 1);
  EXPECT_EQ(indexLevels(path, "Table1", "PrimaryKey"), 1);
  if (jet::testing::haveMdbTools()) {
    const std::string out = jet::testing::mdbExport(path, "Table1");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 4) << out;
  }
}

}  // namespace
