// The structure check follows every Memo to its last byte, though it builds no text: a
// long-value row gone or a chain cut short is reported against the column, a wiped page
// against the table, in the whole-file check and in the check of chosen tables alike.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "jet/check/structure_check.h"
#include "jet/codec/data_page_view.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/format/data_page.h"
#include "jet/io/file.h"
#include "jet/util/bytes.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace {

constexpr uint32_t kPageSize = 4096;
using Damage = std::function<void(uint8_t* page)>;

// Texts stored every way: inline, in one long-value row, and chained over several pages.
std::string memo(int i) {
  if (i % 3 == 0) return "short " + std::to_string(i);
  std::string s = "\xE9\x83\xA8\xE9\x97\xA8 ";  // a CJK word keeps the text UTF-16
  const size_t chars = i % 3 == 1 ? 1500 : 6000;
  while (s.size() < chars) s += "remark" + std::to_string(i) + " ";
  return s;
}

class LongValueCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (dir_.path() / "memos.mdb").string();
    std::filesystem::remove(path_);
    auto db = jet::Database::create(path_);
    jet::TableSpec blueprint;
    blueprint.name = "Notes";
    blueprint.columns = {{"ID", jet::ColumnKind::Long}, {"Remark", jet::ColumnKind::Memo}};
    blueprint.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
    auto t = db->createTable(blueprint);
    for (int32_t i = 0; i < 30; ++i) {
      jet::Row r{i, memo(i)};
      t.insert(r);
    }
    db->close();
  }

  // Applies damage to every long-value page of the file; returns how many there were.
  int damageLongValuePages(const Damage& damage) {
    std::fstream f(path_, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(0, std::ios::end);
    const auto pages = static_cast<uint32_t>(f.tellg() / kPageSize);
    std::vector<uint8_t> page(kPageSize);
    int damaged = 0;
    for (uint32_t p = 1; p < pages; ++p) {
      f.seekg(std::streamoff(p) * kPageSize);
      f.read(reinterpret_cast<char*>(page.data()), kPageSize);
      if (!jet::codec::DataPageView(page.data(), kPageSize, jet::Format::Jet4).isLongValuePage()) continue;
      damage(page.data());
      f.seekp(std::streamoff(p) * kPageSize);
      f.write(reinterpret_cast<const char*>(page.data()), kPageSize);
      ++damaged;
    }
    return damaged;
  }

  std::vector<jet::StructureReport> reports() {
    auto impl = jet::openDatabaseImpl(jet::openFile(path_, jet::FileAccess::ReadOnly), path_, jet::OpenMode::ReadOnly);
    return {jet::checkStructure(*impl), jet::checkTables(*impl, {"Notes"})};
  }

  jet::testing::TempDir dir_;
  std::string path_;
};

TEST_F(LongValueCheck, DamagedMemosAreReportedAgainstTheirColumn) {
  for (const jet::StructureReport& report : reports()) {
    ASSERT_TRUE(report.ok()) << jet::testing::describeDefects(report);
  }
  struct Case {
    const char* what;
    const char* named;  // what the defect names
    Damage damage;
  };
  const std::vector<Case> cases{
      {"every long-value row flagged deleted", "column Remark",
       [&](uint8_t* page) {
         const jet::codec::DataPageView view(page, kPageSize, jet::Format::Jet4);
         for (uint16_t r = 0; r < view.rowCount(); ++r) {
           uint8_t* entry = page + view.entryOffset(r);
           jet::put16(entry, static_cast<uint16_t>(jet::le16(entry) | jet::format::data::kDeletedRow));
         }
       }},
      {"every chain pointer cut", "column Remark",
       [&](uint8_t* page) {
         const jet::codec::DataPageView view(page, kPageSize, jet::Format::Jet4);
         for (uint16_t r = 0; r < view.rowCount(); ++r) std::fill_n(page + view.entry(r).start, 4, uint8_t{0});
       }},
      {"the pages wiped", "table Notes", [](uint8_t* page) { std::fill_n(page, kPageSize, uint8_t{0}); }},
  };
  for (const Case& c : cases) {
    SetUp();
    ASSERT_GT(damageLongValuePages(c.damage), 1) << c.what;
    for (const jet::StructureReport& report : reports()) {
      ASSERT_FALSE(report.ok()) << c.what;
      bool named = false;
      for (const std::string& d : report.defects) named = named || d.find(c.named) != std::string::npos;
      EXPECT_TRUE(named) << c.what << ":\n" << jet::testing::describeDefects(report);
    }
  }
}

}  // namespace
