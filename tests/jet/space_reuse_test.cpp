// Space reuse under random writes: rounds of inserts, updates, deletes and "Delete From" on
// tables with indexes and long values, checked against a model after every flush and every
// reopening, with the structure check after each round and the file's size held to a bound
// of what the same rows take when written once into a new file - and, compacted, within 5%
// of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>

#include "jet/database.h"
#include "jet/compact/compactor.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace {

using Model = std::map<int32_t, std::pair<jet::RowId, jet::Row>>;

std::string randomText(std::mt19937& rng, size_t maxLength) {
  std::string s(1 + rng() % maxLength, 'a');
  for (char& c : s) c = static_cast<char>('a' + rng() % 26);
  return s;
}

// Memo lengths that take every path: inline, one long-value row, a chain of rows.
jet::Value randomMemo(std::mt19937& rng) {
  switch (rng() % 5) {
    case 0: return jet::Value{};
    case 1: return randomText(rng, 40);
    case 2: return randomText(rng, 900);
    case 3: return randomText(rng, 9000);
    default: return randomText(rng, 200);
  }
}

jet::TableSpec tableSpec(const std::string& name, bool withMemo, int textSize) {
  jet::TableSpec blueprint;
  blueprint.name = name;
  blueprint.columns = {{"ID", jet::ColumnKind::Long}, {"Label", jet::ColumnKind::Text, textSize},
                  {"Amount", jet::ColumnKind::Double}};
  if (withMemo) blueprint.columns.push_back({"Notes", jet::ColumnKind::Memo});
  blueprint.indexes = {{"PrimaryKey", {"ID"}, true, true, false}, {"Label", {"Label"}}};
  return blueprint;
}

jet::Row randomRow(std::mt19937& rng, int32_t id, bool withMemo, int textSize) {
  jet::Row row{id, randomText(rng, static_cast<size_t>(textSize)), static_cast<double>(rng() % 100000) / 8};
  if (withMemo) row.push_back(randomMemo(rng));
  return row;
}

struct Subject {
  std::string name;
  bool withMemo;
  int textSize;
  Model model;
};

void expectMatchesModel(jet::Database& db, const Subject& s, const std::string& when) {
  auto table = db.table(s.name);
  ASSERT_EQ(table.rowCount(), s.model.size()) << s.name << " " << when;
  std::map<int32_t, jet::Row> seen;
  auto cursor = table.scan();
  while (cursor.next()) {
    const jet::Row& row = cursor.values();
    int32_t id = std::get<int32_t>(row[0]);
    ASSERT_TRUE(seen.emplace(id, row).second) << s.name << " " << when << ": row " << id << " twice";
  }
  ASSERT_EQ(seen.size(), s.model.size()) << s.name << " " << when;
  for (const auto& [id, entry] : s.model) {
    auto it = seen.find(id);
    ASSERT_NE(it, seen.end()) << s.name << " " << when << ": row " << id << " lost";
    ASSERT_EQ(it->second, entry.second) << s.name << " " << when << ": row " << id << " differs";
    ASSERT_EQ(table.read(entry.first), entry.second) << s.name << " " << when << ": row id of " << id;
  }
}

// Checks the file and returns the bytes of its pages in use.
uint64_t expectSound(const std::filesystem::path& path, const std::string& when) {
  jet::StructureReport report = jet::testing::checkFile(path);
  EXPECT_TRUE(report.ok()) << when << ":\n" << jet::testing::describeDefects(report);
  // The writer keeps the maps exact: not even the figures Access lets drift are off.
  for (const std::string& w : report.warnings) ADD_FAILURE() << when << ": " << w;
  return static_cast<uint64_t>(report.pages - report.freePages) * 4096;
}

// One round of random changes to one table, mirrored in its model.
void changeRandomly(jet::Database& db, Subject& s, std::mt19937& rng, int32_t& nextId) {
  auto table = db.table(s.name);
  const int action = static_cast<int>(rng() % 10);
  if (action == 0 && !s.model.empty()) {
    EXPECT_EQ(table.removeAll(), s.model.size());
    s.model.clear();
    return;
  }
  const int inserts = 50 + static_cast<int>(rng() % 250);
  for (int i = 0; i < inserts; ++i) {
    jet::Row row = randomRow(rng, nextId, s.withMemo, s.textSize);
    jet::RowId id = table.insert(row);
    s.model[nextId++] = {id, row};
  }
  std::vector<int32_t> keys;
  for (const auto& [key, entry] : s.model) keys.push_back(key);
  std::shuffle(keys.begin(), keys.end(), rng);
  const size_t updates = keys.size() / 4, removes = keys.size() / 3;
  for (size_t i = 0; i < updates; ++i) {
    auto& entry = s.model[keys[i]];
    jet::Row row = randomRow(rng, keys[i], s.withMemo, s.textSize);  // longer or shorter
    table.update(entry.first, row);
    entry.second = row;
  }
  for (size_t i = updates; i < updates + removes; ++i) {
    table.remove(s.model[keys[i]].first);
    s.model.erase(keys[i]);
  }
}

uint64_t sizeWrittenOnce(const std::filesystem::path& path, const std::vector<Subject>& subjects) {
  {
    auto db = jet::Database::create(path.string());
    for (const Subject& s : subjects) {
      auto table = db->createTable(tableSpec(s.name, s.withMemo, s.textSize));
      for (const auto& [key, entry] : s.model) {
        jet::Row row = entry.second;
        table.insert(row);
      }
    }
    db->close();
  }
  return std::filesystem::file_size(path);
}

TEST(SpaceReuseTest, RandomRoundsStayCorrectSoundAndBounded) {
  jet::testing::TempDir dir;
  const std::filesystem::path path = dir.path() / "rounds.mdb";
  std::mt19937 rng(20261208);
  std::vector<Subject> subjects{{"Cards", true, 20, {}}, {"Events", false, 120, {}}, {"Notes", true, 60, {}}};
  {
    auto db = jet::Database::create(path.string());
    for (const Subject& s : subjects) db->createTable(tableSpec(s.name, s.withMemo, s.textSize));
    db->close();
  }
  int32_t nextId = 1;
  uint64_t largestOnce = 0, lastOnce = 0;
  for (int round = 0; round < 14; ++round) {
    const std::string when = "round " + std::to_string(round);
    {
      auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
      for (Subject& s : subjects) {
        expectMatchesModel(*db, s, when + " after reopening");
        if (::testing::Test::HasFatalFailure()) return;
        changeRandomly(*db, s, rng, nextId);
      }
      db->flush();
      for (const Subject& s : subjects) {
        expectMatchesModel(*db, s, when + " after the flush");
        if (::testing::Test::HasFatalFailure()) return;
      }
      // A second batch in the same session, over the space the first one freed.
      changeRandomly(*db, subjects[round % subjects.size()], rng, nextId);
      db->close();
    }
    const uint64_t used = expectSound(path, when);
    const uint64_t size = std::filesystem::file_size(path);
    const uint64_t once = sizeWrittenOnce(dir.path() / ("once" + std::to_string(round) + ".mdb"), subjects);
    largestOnce = std::max(largestOnce, once);
    // Free space left by deletes is reused: the pages in use stay near what the rows need,
    // and the file never grows past what the most rows it held needed.
    EXPECT_LE(used, once * 3 / 2 + 32 * 4096) << when << ": " << used << " bytes in use, written once " << once;
    EXPECT_LE(size, largestOnce * 2 + 32 * 4096) << when << ": " << size << " bytes, at most " << largestOnce;
    // Another reader sees the same rows on the packed pages.
    if (jet::testing::haveMdbTools() && round % 5 == 4) {
      for (const Subject& s : subjects) {
        const std::string csv = jet::testing::mdbExport(path, s.name);
        const size_t lines = static_cast<size_t>(std::count(csv.begin(), csv.end(), '\n'));
        EXPECT_EQ(lines, s.model.size() + 1) << when << ": mdb-export of " << s.name;
      }
    }
    std::printf("%s: %llu bytes (%llu in use), the same rows written once %llu\n", when.c_str(),
                static_cast<unsigned long long>(size), static_cast<unsigned long long>(used),
                static_cast<unsigned long long>(once));
    lastOnce = once;
  }
  // Compacted, the file is about what the same rows take written once into a new file.
  const std::filesystem::path compacted = dir.path() / "compacted.mdb";
  jet::write::compactCopy(path.string(), compacted.string());
  const uint64_t size = std::filesystem::file_size(compacted);
  std::printf("compacted: %llu bytes, written once %llu\n", static_cast<unsigned long long>(size),
              static_cast<unsigned long long>(lastOnce));
  EXPECT_LE(size, lastOnce + lastOnce / 20 + 4 * 4096);
  expectSound(compacted, "compacted");
}

// Deleting every row gives every data and long-value page back; the next flush cuts the
// free pages at the end off, and a reopened file reuses the rest before growing.
TEST(SpaceReuseTest, DeleteFromGivesThePagesBackAndTheFileShrinks) {
  jet::testing::TempDir dir;
  const std::filesystem::path path = dir.path() / "shrink.mdb";
  std::mt19937 rng(7);
  Subject s{"Cards", true, 20, {}};
  uint64_t empty = 0, full = 0;
  {
    auto db = jet::Database::create(path.string());
    db->createTable(tableSpec(s.name, s.withMemo, s.textSize));
    db->close();
    empty = std::filesystem::file_size(path);
  }
  int32_t nextId = 1;
  for (int pass = 0; pass < 3; ++pass) {
    {
      auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
      auto table = db->table(s.name);
      for (int i = 0; i < 3000; ++i) {
        jet::Row row = randomRow(rng, nextId, s.withMemo, s.textSize);
        s.model[nextId++] = {table.insert(row), row};
      }
      db->close();
    }
    const uint64_t size = std::filesystem::file_size(path);
    if (pass == 0) full = size;
    // Refilling after "Delete From" takes the freed pages again.
    EXPECT_LE(size, full + full / 20) << "pass " << pass;
    expectSound(path, "filled, pass " + std::to_string(pass));
    {
      auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
      EXPECT_EQ(db->table(s.name).removeAll(), s.model.size());
      s.model.clear();
      db->close();
    }
    expectSound(path, "emptied, pass " + std::to_string(pass));
    // Only the index pages the rebuild keeps stand between the empty file and this one.
    EXPECT_LE(std::filesystem::file_size(path), empty + 4 * 4096) << "pass " << pass;
  }
}

}  // namespace
