// Pages the database's page map lists as free while a table still owns them (Access leaves
// such pages behind): the structure check calls them drift, and no write hands them to
// another owner - the rows on them survive inserts into every table, a flush that cuts the
// file, and a compaction.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "jet/compact/compactor.h"
#include "jet/data_rows.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/format/usage_map.h"
#include "jet/open_database.h"
#include "jet/usage_map.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace {

namespace fu = jet::format::usagemap;
constexpr uint32_t kPageSize = 4096;

jet::TableSpec tableSpec(const std::string& name) {
  jet::TableSpec blueprint;
  blueprint.name = name;
  blueprint.columns = {{"ID", jet::ColumnKind::Long}, {"Label", jet::ColumnKind::Text, 120}, {"Notes", jet::ColumnKind::Memo}};
  blueprint.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  return blueprint;
}

jet::Row makeRow(int32_t id) {
  std::string label(40 + id % 70, static_cast<char>('a' + id % 26));
  jet::Value notes = id % 7 == 0 ? jet::Value{std::string(3000 + id % 900, 'n')} : jet::Value{};
  return {id, label, notes};
}

// The data pages the table's owned-pages map lists.
std::vector<uint32_t> ownedPages(const std::filesystem::path& path, const std::string& table) {
  auto db = jet::openDatabaseFile(path.string(), jet::OpenMode::ReadOnly);
  const jet::TableInfo& info = db->table(*db->findTable(table)).info;
  return jet::readUsageMap(db->pager(), db->header.format, info.ownedPages).pages;
}

// Sets bit `bit` of the bitmap starting at byte `at` of the file.
void setBitInFile(const std::filesystem::path& path, uint64_t at, uint32_t bit) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekg(static_cast<std::streamoff>(at + bit / 8));
  char byte = 0;
  file.read(&byte, 1);
  byte = static_cast<char>(byte | (1 << (bit % 8)));
  file.seekp(static_cast<std::streamoff>(at + bit / 8));
  file.write(&byte, 1);
}

// Marks the page free in the database's page map, as another writer might have left it.
void markFreeInPageMap(const std::filesystem::path& path, uint32_t page) {
  uint64_t at = 0;
  uint32_t bit = 0;
  {
    auto db = jet::openDatabaseFile(path.string(), jet::OpenMode::ReadOnly);
    jet::Pager& pager = db->pager();
    const jet::UsageMapInfo map =
        jet::readUsageMap(pager, db->header.format, jet::RowRef{fu::kDatabaseMapRow, fu::kDatabaseMapPage});
    if (map.type == fu::kInlineType) {
      const jet::RowSlot slot = jet::dataPageRow(*pager.read(fu::kDatabaseMapPage), db->header.format, fu::kDatabaseMapRow);
      at = uint64_t(fu::kDatabaseMapPage) * kPageSize + slot.start + fu::kInlineBitmap;
      bit = page - map.inlineStart;
    } else {
      const uint32_t perMapPage = (kPageSize - fu::kMapPageBitmap) * 8;
      ASSERT_LT(page / perMapPage, map.mapPages.size());
      at = uint64_t(map.mapPages[page / perMapPage]) * kPageSize + fu::kMapPageBitmap;
      bit = page % perMapPage;
    }
  }
  setBitInFile(path, at, bit);
}

// Lists the page in the table's owned-pages map too (the map must be inline and reach it).
void addToOwnedMap(const std::filesystem::path& path, const std::string& table, uint32_t page) {
  uint64_t at = 0;
  uint32_t bit = 0;
  {
    auto db = jet::openDatabaseFile(path.string(), jet::OpenMode::ReadOnly);
    const jet::RowRef ref = db->table(*db->findTable(table)).info.ownedPages;
    const jet::UsageMapInfo map = jet::readUsageMap(db->pager(), db->header.format, ref);
    ASSERT_EQ(map.type, fu::kInlineType);
    const jet::RowSlot slot = jet::dataPageRow(*db->pager().read(ref.page), db->header.format, ref.row);
    ASSERT_GE(page, map.inlineStart);
    ASSERT_LT(page - map.inlineStart, (slot.size() - fu::kInlineBitmap) * 8u);
    at = uint64_t(ref.page) * kPageSize + slot.start + fu::kInlineBitmap;
    bit = page - map.inlineStart;
  }
  setBitInFile(path, at, bit);
}

std::map<int32_t, jet::Row> rowsOf(const std::filesystem::path& path, const std::string& table) {
  auto db = jet::Database::open(path.string(), jet::OpenMode::ReadOnly);
  std::map<int32_t, jet::Row> rows;
  auto cursor = db->table(table).scan();
  while (cursor.next()) rows.emplace(std::get<int32_t>(cursor.values()[0]), cursor.values());
  return rows;
}

TEST(FreePageClaims, APageFreeInTheMapButOwnedIsNeverHandedOut) {
  jet::testing::TempDir dir;
  const std::filesystem::path path = dir.path() / "claims.mdb";
  std::map<int32_t, jet::Row> cards;
  {
    auto db = jet::Database::create(path.string());
    auto table = db->createTable(tableSpec("Cards"));
    db->createTable(tableSpec("Events"));
    for (int32_t id = 1; id <= 1500; ++id) {
      jet::Row row = makeRow(id);
      table.insert(row);
      cards.emplace(id, row);
    }
    db->close();
  }
  // The lowest and the last data pages of Cards: the allocator's first pick, and a page the
  // flush's cut would reach if it were free at the end.
  const std::vector<uint32_t> owned = ownedPages(path, "Cards");
  ASSERT_GT(owned.size(), 10u);
  for (uint32_t page : {owned.front(), owned[owned.size() / 2], owned.back()}) markFreeInPageMap(path, page);
  if (::testing::Test::HasFatalFailure()) return;

  jet::StructureReport report = jet::testing::checkFile(path);
  EXPECT_TRUE(report.ok()) << jet::testing::describeDefects(report);
  size_t drift = 0;
  for (const std::string& w : report.warnings) drift += w.find("is free in the database's page map") != std::string::npos;
  EXPECT_EQ(drift, 3u) << "the three pages are reported as drift";

  // Two sessions of inserts into both tables, the second after a reopening.
  int32_t nextEvent = 1;
  for (int session = 0; session < 2; ++session) {
    auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
    auto events = db->table("Events");
    for (int i = 0; i < 900; ++i, ++nextEvent) {
      jet::Row row = makeRow(nextEvent);
      events.insert(row);
    }
    auto table = db->table("Cards");
    for (int i = 0; i < 300; ++i) {
      const int32_t id = static_cast<int32_t>(cards.size()) + 1;
      jet::Row row = makeRow(id);
      table.insert(row);
      cards.emplace(id, row);
    }
    db->close();
  }
  report = jet::testing::checkFile(path);
  EXPECT_TRUE(report.ok()) << jet::testing::describeDefects(report);
  EXPECT_TRUE(rowsOf(path, "Cards") == cards) << "rows of Cards were lost or changed";
  EXPECT_EQ(rowsOf(path, "Events").size(), static_cast<size_t>(nextEvent - 1));
  if (jet::testing::haveMdbTools()) {
    const std::string csv = jet::testing::mdbExport(path, "Cards");
    EXPECT_EQ(static_cast<size_t>(std::count(csv.begin(), csv.end(), '\n')), cards.size() + 1);
  }

  // Compaction keeps them too, and leaves no drift behind.
  const std::filesystem::path compacted = dir.path() / "compacted.mdb";
  jet::write::compactCopy(path.string(), compacted.string());
  EXPECT_TRUE(rowsOf(compacted, "Cards") == cards) << "compacted: rows of Cards were lost or changed";
  report = jet::testing::checkFile(compacted);
  EXPECT_TRUE(report.ok()) << jet::testing::describeDefects(report);
  for (const std::string& w : report.warnings) ADD_FAILURE() << "compacted: " << w;
}

// The converse is damage: a page two tables' maps list cannot be given to either safely.
TEST(FreePageClaims, APageTwoTablesListIsDamage) {
  jet::testing::TempDir dir;
  const std::filesystem::path path = dir.path() / "twice.mdb";
  {
    auto db = jet::Database::create(path.string());
    auto cards = db->createTable(tableSpec("Cards"));
    auto events = db->createTable(tableSpec("Events"));
    for (int32_t id = 1; id <= 200; ++id) {
      jet::Row row = makeRow(id);
      cards.insert(row);
      events.insert(row);
    }
    db->close();
  }
  addToOwnedMap(path, "Events", ownedPages(path, "Cards").front());
  if (::testing::Test::HasFatalFailure()) return;
  const jet::StructureReport report = jet::testing::checkFile(path);
  ASSERT_FALSE(report.ok());
  EXPECT_NE(jet::testing::describeDefects(report).find("table Events: owned page"), std::string::npos)
      << jet::testing::describeDefects(report);
}

}  // namespace
