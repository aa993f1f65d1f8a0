// Every Access-written fixture (Jet 3 and Jet 4), changed by the engine on a copy: a row copied and added
// to each table without indexes, one row updated and one deleted. mdbtools must still read
// every table, the untouched tables exactly as before, and the structure check must pass.
#include <gtest/gtest.h>

#include <cstdio>

#include "jet/check/structure_check.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/io/file.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace {

std::string run(const std::string& command) { return jet::testing::runCommand(command); }

std::string exportTable(const std::filesystem::path& file, const std::string& table) {
  return jet::testing::mdbExport(file, table);
}

size_t lines(const std::string& s) { return static_cast<size_t>(std::count(s.begin(), s.end(), '\n')); }

TEST(WriteFixturesInterop, ChangedAccessFilesStillReadWithMdbtools) {
  QAR_REQUIRE_FIXTURES();
  if (run("command -v mdb-export").find("mdb-export") == std::string::npos) GTEST_SKIP() << "mdbtools not installed";
  int changedTables = 0;
  for (const auto& source : jet::testing::allFixtureDatabases()) {
    jet::testing::TempDir dir;
    auto path = dir.copy(source);
    std::map<std::string, std::string> before;
    std::vector<std::string> changed;
    {
      auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
      for (const auto& name : db->tableNames()) before[name] = exportTable(path, name);
      for (const auto& name : db->tableNames()) {
        auto t = db->table(name);
        if (!t.def().indexes.empty()) continue;
        std::vector<std::pair<jet::RowId, jet::Row>> rows;
        auto c = t.scan();
        while (c.next()) rows.emplace_back(c.id(), c.values());
        if (rows.size() < 2) continue;
        jet::Row copy = rows[0].second;
        for (size_t i = 0; i < copy.size(); ++i) {
          if (t.def().columns[i].autoNumber) copy[i] = jet::Null{};
        }
        jet::Row update = copy;  // Null keeps an auto-number as it is
        t.insert(copy);          // (insert writes the number it gave back into copy)
        t.update(rows[1].first, update);
        t.remove(rows[0].first);
        changed.push_back(name);
      }
      db->close();
    }
    changedTables += static_cast<int>(changed.size());
    for (const auto& [name, text] : before) {
      std::string after = exportTable(path, name);
      if (std::find(changed.begin(), changed.end(), name) == changed.end()) {
        EXPECT_EQ(after, text) << source << " table " << name << " changed";
      } else {
        EXPECT_EQ(lines(after), lines(text)) << source << " table " << name << "\n" << after;
      }
    }
    jet::StructureReport report = jet::testing::checkFile(path);
    EXPECT_TRUE(report.ok()) << source << "\n" << jet::testing::describeDefects(report);
  }
  EXPECT_GT(changedTables, 3);
}

}  // namespace
