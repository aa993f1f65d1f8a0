// New databases made from nothing: the system tables and their rows, a refused existing file,
// and tables created, filled and changed in them, read by the engine and by mdbtools.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "index_fixture_pages.h"
#include "jet/check/structure_check.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/index/index_tree.h"
#include "jet/io/file.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace {

using jet::testing::TempDir;

std::string run(const std::string& command) { return jet::testing::runCommand(command); }
using jet::testing::haveMdbTools;

jet::StructureReport check(const std::string& path) { return jet::testing::checkFile(path); }
std::string defects(const jet::StructureReport& r) { return jet::testing::describeDefects(r); }

// Every test runs on a new Access 2000 (Jet 4) and a new Access 97 (Jet 3) database.
class CreateDatabase : public ::testing::TestWithParam<jet::Format> {};
INSTANTIATE_TEST_SUITE_P(Versions, CreateDatabase, ::testing::Values(jet::Format::Jet4, jet::Format::Jet3),
                         [](const auto& info) { return info.param == jet::Format::Jet3 ? "Access97" : "Access2000"; });

TEST_P(CreateDatabase, ANewDatabaseHasTheSystemTablesAndPassesCheck) {
  TempDir dir;
  std::string path = (dir.path() / "new.mdb").string();
  {
    auto db = jet::Database::create(path, GetParam());
    EXPECT_TRUE(db->writable());
    EXPECT_EQ(db->format(), GetParam());
    EXPECT_TRUE(db->tableNames().empty());
  }
  auto db = jet::Database::open(path);
  EXPECT_EQ(db->codePage(), 1252);
  EXPECT_EQ(db->sortOrder(), (jet::SortOrder{1033, 0}));
  auto report = check(path);
  EXPECT_TRUE(report.ok()) << defects(report);
  EXPECT_EQ(report.tables, 4u);
  jet::testing::RawPages pages(path);
  for (uint32_t root : jet::testing::indexRoots(pages)) {
    EXPECT_NO_THROW(jet::verifyIndexTree(pages.fetcher(), pages.format(), root)) << "index page " << root;
  }
  if (haveMdbTools()) {
    std::string tables = run("mdb-tables -S -1 '" + path + "'");
    for (const char* t : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) {
      EXPECT_NE(tables.find(t), std::string::npos) << tables;
    }
    std::string catalog = run("mdb-export '" + path + "' MSysObjects");
    EXPECT_NE(catalog.find("\"MSysDb\""), std::string::npos) << catalog;
    EXPECT_NE(catalog.find("\"Tables\""), std::string::npos) << catalog;
  }
  // The file exists now: creating it again is refused and leaves it alone.
  auto before = jet::testing::readWholeFile(path);
  EXPECT_THROW(jet::Database::create(path, GetParam()), jet::Error);
  EXPECT_EQ(jet::testing::readWholeFile(path), before);
}

// Random tables in a new database; random inserts, updates and deletes checked against a
// model after each reopening, and the structure check after every round.
TEST_P(CreateDatabase, RandomSchemasAndWritesMatchAModel) {
  TempDir dir;
  std::string path = (dir.path() / "random.mdb").string();
  jet::Database::create(path, GetParam())->close();
  const bool jet4 = GetParam() == jet::Format::Jet4;
  std::mt19937 rng(7);
  using K = jet::ColumnKind;
  const K kinds[] = {K::YesNo, K::Byte,   K::Integer, K::Long,  K::Currency, K::Single, K::Double,
                     K::DateTime, K::Text, K::Memo,   K::OLE,   K::ReplicationID, K::Decimal, K::Binary};
  struct Model {
    std::string name;
    std::map<jet::RowId, jet::Row> rows;
  };
  std::vector<Model> models;
  auto randomValue = [&](const jet::Column& c) -> jet::Value {
    // A Yes/No column has no Null: its value is the null-mask bit (Null is stored as No).
    if (rng() % 6 == 0) return c.kind == K::YesNo ? jet::Value(false) : jet::Value(jet::Null{});
    switch (c.kind) {
      case K::YesNo: return rng() % 2 == 0;
      case K::Byte: return static_cast<uint8_t>(rng());
      case K::Integer: return static_cast<int16_t>(rng());
      case K::Long: return static_cast<int32_t>(rng());
      case K::Currency: return jet::Currency{static_cast<int64_t>(rng()) - 2000000000};
      case K::Single: return static_cast<float>(rng() % 100000) / 8.0f;
      case K::Double: return static_cast<double>(rng()) / 3.0;
      case K::DateTime: return jet::DateTime{static_cast<double>(rng() % 80000) + 0.5};
      case K::Text: return std::string(rng() % (c.textLength(jet4) + 1), static_cast<char>('a' + rng() % 26));
      case K::Memo: return std::string(rng() % 3 == 0 ? rng() % 9000 : rng() % 40, 'q');
      case K::OLE: return jet::Bytes(rng() % 3 == 0 ? rng() % 9000 : rng() % 40, static_cast<uint8_t>(rng()));
      case K::ReplicationID: {
        jet::Guid g;
        for (auto& b : g.bytes) b = static_cast<uint8_t>(rng());
        return g;
      }
      case K::Decimal: {
        jet::Decimal d;
        d.negative = rng() % 2 == 0;
        d.magnitude = rng() % 100000000;
        d.scale = c.scale;
        if (d.magnitude == 0) d.negative = false;
        return d;
      }
      case K::Binary: return jet::Bytes(rng() % (c.size + 1), static_cast<uint8_t>(rng()));
    }
    return jet::Null{};
  };
  for (int round = 0; round < 4; ++round) {
    {
      auto db = jet::Database::open(path, jet::OpenMode::ReadWrite);
      // A new table each round.
      jet::TableSpec blueprint;
      blueprint.name = "T" + std::to_string(round);
      int columns = 1 + static_cast<int>(rng() % 12);
      for (int c = 0; c < columns; ++c) {
        jet::ColumnSpec cs;
        cs.name = "c" + std::to_string(c);
        // Access 97 has no Decimal columns.
        do cs.kind = kinds[rng() % std::size(kinds)];
        while (!jet4 && cs.kind == K::Decimal);
        cs.size = cs.kind == K::Text || cs.kind == K::Binary ? 1 + static_cast<int>(rng() % 60) : 0;
        cs.compressedText = rng() % 2 == 0;
        cs.precision = 12;
        cs.scale = static_cast<uint8_t>(rng() % 4);
        blueprint.columns.push_back(cs);
      }
      db->createTable(blueprint);
      models.push_back(Model{blueprint.name, {}});
      for (auto& m : models) {
        auto t = db->table(m.name);
        for (int step = 0; step < 120; ++step) {
          int op = static_cast<int>(rng() % 10);
          if (op < 6 || m.rows.empty()) {
            jet::Row r;
            for (const auto& c : t.def().columns) r.push_back(randomValue(c));
            jet::RowId id = t.insert(r);
            m.rows[id] = r;
          } else {
            auto it = m.rows.begin();
            std::advance(it, rng() % m.rows.size());
            if (op < 8) {
              jet::Row r;
              for (const auto& c : t.def().columns) r.push_back(randomValue(c));
              t.update(it->first, r);
              it->second = r;
            } else {
              t.remove(it->first);
              m.rows.erase(it);
            }
          }
        }
      }
      db->close();
    }
    auto report = check(path);
    ASSERT_TRUE(report.ok()) << "round " << round << "\n" << defects(report);
    auto db = jet::Database::open(path);
    for (auto& m : models) {
      auto t = db->table(m.name);
      ASSERT_EQ(t.rowCount(), m.rows.size()) << m.name;
      auto cursor = t.scan();
      size_t seen = 0;
      while (cursor.next()) {
        ++seen;
        auto it = m.rows.find(cursor.id());
        ASSERT_NE(it, m.rows.end()) << m.name;
        ASSERT_EQ(cursor.values(), it->second) << m.name << " page " << cursor.id().page << " row " << cursor.id().row;
      }
      ASSERT_EQ(seen, m.rows.size());
    }
  }
  if (haveMdbTools()) {
    for (auto& m : models) {
      std::string out = run("mdb-export -b hex '" + path + "' " + m.name + " | wc -l");
      EXPECT_EQ(std::stoul(out), m.rows.size() + 1 + 0) << m.name;
    }
  }
}

}  // namespace
