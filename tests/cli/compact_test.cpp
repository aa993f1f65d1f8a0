// Compaction of every shared Jet 4 fixture and of engine-written files: every table's rows
// (system tables too) read back equal through the engine and through mdbtools, the copy
// passes the structure check, a second compaction changes nothing more, refused files leave
// nothing behind, and a compaction failing at any write leaves the original as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>

#include "cli/command.h"
#include "jet/catalog.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/io/file.h"
#include "jet/table_scan.h"
#include "jet/compact/compactor.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace {

namespace fs = std::filesystem;
using jet::testing::TempDir;

// Every row of every table the catalog lists (system tables too), by table, in scan order.
std::map<std::string, std::vector<jet::Row>> everyRow(const fs::path& path) {
  auto db = jet::openDatabaseImpl(jet::openFile(path.string(), jet::FileAccess::ReadOnly), path.string(),
                                  jet::OpenMode::ReadOnly);
  std::map<std::string, std::vector<jet::Row>> out;
  auto readTable = [&](const std::string& name, const jet::TableInfo& info) {
    jet::RowDecoder decoder(info, db->pager(), db->header.codePage);
    jet::TableScanner scanner(db->pager(), info);
    jet::RowBytes bytes;
    jet::Row row;
    while (scanner.next(bytes)) {
      decoder.decode(bytes.data, bytes.size, bytes.id, row);
      out[name].push_back(row);
    }
  };
  readTable("MSysObjects", db->catalog);
  const std::vector<jet::Row> catalog = out["MSysObjects"];
  const int idCol = db->catalog.def.findColumn("Id"), nameCol = db->catalog.def.findColumn("Name"),
            typeCol = db->catalog.def.findColumn("Type");
  for (const jet::Row& row : catalog) {
    const auto* type = std::get_if<int16_t>(&row[typeCol]);
    const auto* id = std::get_if<int32_t>(&row[idCol]);
    const auto* name = std::get_if<std::string>(&row[nameCol]);
    if (!type || *type != jet::kObjectTypeTable || !id || !name) continue;
    const uint32_t page = static_cast<uint32_t>(*id) & jet::kObjectIdPageMask;
    if (page == jet::kCatalogPage) continue;
    readTable(*name, db->table(jet::CatalogEntry{*name, page, 0}).info);
  }
  return out;
}

// mdb-export of a table as a sorted list of lines (a moved row is listed where it lives).
std::vector<std::string> exportLines(const fs::path& file, const std::string& table) {
  std::istringstream in(jet::testing::mdbExport(file, table));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

void expectSameThroughMdbtools(const fs::path& original, const fs::path& compacted) {
  if (!jet::testing::haveMdbTools()) return;
  auto run = [](const std::string& what, const fs::path& file) {
    return jet::testing::runCommand(what + " '" + file.string() + "' 2>&1");
  };
  // The same tables and columns; the catalog's rows may come in another order (a moved
  // catalog row of an Access 97 file goes back where its pointer was).
  auto tablesOf = [&](const fs::path& file) {
    std::vector<std::string> blocks;
    const std::string schema = run("mdb-schema", file);
    for (size_t at = schema.find("CREATE TABLE"); at != std::string::npos;) {
      const size_t next = schema.find("CREATE TABLE", at + 1);
      std::string block = schema.substr(at, next == std::string::npos ? std::string::npos : next - at);
      while (!block.empty() && std::isspace(static_cast<unsigned char>(block.back()))) block.pop_back();
      blocks.push_back(block);
      at = next;
    }
    std::sort(blocks.begin(), blocks.end());
    return blocks;
  };
  EXPECT_EQ(tablesOf(compacted), tablesOf(original)) << original;
  EXPECT_EQ(run("mdb-queries -L", compacted), run("mdb-queries -L", original)) << original;
  std::istringstream tables(run("mdb-tables -1", original));
  for (std::string table; std::getline(tables, table);) {
    if (table.empty()) continue;
    EXPECT_EQ(exportLines(compacted, table), exportLines(original, table)) << original << " " << table;
  }
}

// Compacts, checks the copy against the original, and compacts the copy again.
void expectCompactsFaithfully(const fs::path& original, const fs::path& dir) {
  const fs::path once = dir / "once.mdb", twice = dir / "twice.mdb";
  jet::write::CompactionFigures figures = jet::write::compactCopy(original.string(), once.string());
  EXPECT_EQ(figures.bytesAfter, fs::file_size(once));
  EXPECT_LE(figures.pagesAfter, figures.pagesBefore + 1) << original;
  const jet::StructureReport report = jet::testing::checkFile(once);
  EXPECT_TRUE(report.ok()) << original << "\n" << jet::testing::describeDefects(report);
  EXPECT_EQ(everyRow(once), everyRow(original)) << original;
  expectSameThroughMdbtools(original, once);
  jet::write::CompactionFigures again = jet::write::compactCopy(once.string(), twice.string());
  EXPECT_EQ(again.pagesAfter, figures.pagesAfter) << original << ": a second compaction changed the size";
  EXPECT_EQ(everyRow(twice), everyRow(original)) << original;
}

// Access 97 and Access 2000 files alike.
TEST(Compact, EverySharedFixtureCompactsFaithfully) {
  QAR_REQUIRE_FIXTURES();
  int compacted = 0;
  for (const fs::path& fixture : jet::testing::allFixtureDatabases()) {
    SCOPED_TRACE(fixture.string());
    TempDir dir;
    expectCompactsFaithfully(fixture, dir.path());
    ++compacted;
  }
  EXPECT_GT(compacted, 25);
}

// A file the engine wrote and then thinned out: compaction gives the holes back.
TEST(Compact, AnEngineWrittenFileWithHolesShrinks) {
  TempDir dir;
  const fs::path path = dir.path() / "holes.mdb";
  {
    auto db = jet::Database::create(path.string());
    jet::TableSpec blueprint;
    blueprint.name = "Events";
    blueprint.columns = {{"ID", jet::ColumnKind::Long, 0, true}, {"Text", jet::ColumnKind::Text, 120}, {"Notes", jet::ColumnKind::Memo}};
    blueprint.indexes = {{"PrimaryKey", {"ID"}, true, true, false}, {"Text", {"Text"}}};
    auto t = db->createTable(blueprint);
    std::vector<jet::RowId> ids;
    for (int i = 0; i < 3000; ++i) {
      jet::Row r{jet::Null{}, "event " + std::to_string(i * 7919 % 3001), std::string(i % 4 == 0 ? 3000 : 20, 'n')};
      ids.push_back(t.insert(r));
    }
    for (size_t i = 0; i < ids.size(); ++i) {
      if (i % 3 != 0) t.remove(ids[i]);
    }
    db->close();
  }
  expectCompactsFaithfully(path, dir.path());
  EXPECT_LT(fs::file_size(dir.path() / "once.mdb") * 10, fs::file_size(path) * 8) << "the holes went back";
  // The counter goes on where it was.
  auto db = jet::Database::open((dir.path() / "once.mdb").string(), jet::OpenMode::ReadWrite);
  jet::Row r{jet::Null{}, "after", jet::Null{}};
  db->table("Events").insert(r);
  EXPECT_EQ(std::get<int32_t>(r[0]), 3001);
}

TEST(Compact, RefusedFilesLeaveNothingBehind) {
  QAR_REQUIRE_FIXTURES();
  TempDir dir;
  const fs::path out = dir.path() / "out.mdb";
  // A damaged file: a table's index root overwritten.
  const fs::path damaged = dir.copy(jet::testing::fixture("qar26m/basic/destination.mdb"));
  {
    auto db = jet::Database::open(damaged.string());
    const jet::Index* key = db->table("HolderCardData").def().findIndex("PrimaryKey");
    uint32_t root = key ? key->firstPage : 0;
    if (root == 0) {
      for (const std::string& name : db->tableNames()) {
        for (const jet::Index& index : db->table(name).def().indexes) root = root ? root : index.firstPage;
      }
    }
    ASSERT_NE(root, 0u);
    db->close();
    std::vector<uint8_t> bytes = jet::testing::readWholeFile(damaged);
    std::fill(bytes.begin() + root * 4096 + 16, bytes.begin() + root * 4096 + 4096, 0x5A);
    jet::testing::writeWholeFile(damaged, bytes);
  }
  const std::vector<uint8_t> before = jet::testing::readWholeFile(damaged);
  try {
    jet::write::compactCopy(damaged.string(), out.string());
    ADD_FAILURE() << "a damaged file was compacted";
  } catch (const jet::Error& e) {
    EXPECT_NE(std::string(e.what()).find("damaged"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(jet::testing::readWholeFile(damaged), before);
}

// A file that refuses its n-th write (and only that one).
class FailingFile : public jet::File {
 public:
  FailingFile(std::unique_ptr<jet::File> inner, int failAt, int* writes)
      : inner_(std::move(inner)), failAt_(failAt), writes_(writes) {}
  uint64_t size() const override { return inner_->size(); }
  void readAt(uint64_t offset, void* buffer, size_t len) const override { inner_->readAt(offset, buffer, len); }
  void writeAt(uint64_t offset, const void* data, size_t len) override {
    if (++*writes_ == failAt_) throw jet::Error(jet::ErrorKind::Io, "simulated write failure");
    inner_->writeAt(offset, data, len);
  }
  void sync() override { inner_->sync(); }
  void truncate(uint64_t len) override {
    if (++*writes_ == failAt_) throw jet::Error(jet::ErrorKind::Io, "simulated truncate failure");
    inner_->truncate(len);
  }
  bool writable() const override { return inner_->writable(); }
  const std::string& name() const override { return inner_->name(); }

 private:
  std::unique_ptr<jet::File> inner_;
  int failAt_;
  int* writes_;
};

TEST(Compact, FailingAtAnyWriteLeavesTheOriginalAndNoCopy) {
  QAR_REQUIRE_FIXTURES();
  const fs::path fixture = jet::testing::fixture("qar26m/basic/destination.mdb");
  if (fixture.empty()) GTEST_SKIP() << "qar26m/basic/destination.mdb not found";
  TempDir dir;
  const fs::path file = dir.copy(fixture), out = dir.path() / "out.mdb";
  const std::vector<uint8_t> original = jet::testing::readWholeFile(file);
  int writes = 0;
  auto opener = [&](int failAt) {
    return [&writes, failAt](const std::string& path, jet::FileAccess access) -> std::unique_ptr<jet::File> {
      return std::make_unique<FailingFile>(jet::openFile(path, access), failAt, &writes);
    };
  };
  jet::write::compactCopy(file.string(), out.string(), {}, opener(-1));
  const int total = writes;
  ASSERT_GT(total, 3);
  fs::remove(out);
  for (int failAt = 1; failAt <= total; failAt += std::max(1, total / 40)) {
    writes = 0;
    EXPECT_THROW(jet::write::compactCopy(file.string(), out.string(), {}, opener(failAt)), jet::Error) << failAt;
    EXPECT_FALSE(fs::exists(out)) << "write " << failAt;
    EXPECT_FALSE(fs::exists(out.string() + "-journal")) << "write " << failAt;
    EXPECT_EQ(jet::testing::readWholeFile(file), original) << "write " << failAt;
  }
}

// In place: the original is kept as "<name>-backup-YYYYMMDD-HHMMSS.mdb", the compacted copy
// takes its name, and a summary of pages and bytes is printed.
TEST(Compact, InPlaceKeepsTheOriginalAsABackup) {
  QAR_REQUIRE_FIXTURES();
  const fs::path fixture = jet::testing::fixture("qar26m/basic/destination.mdb");
  if (fixture.empty()) GTEST_SKIP() << "qar26m/basic/destination.mdb not found";
  TempDir dir;
  const fs::path file = dir.copy(fixture);
  const std::vector<uint8_t> original = jet::testing::readWholeFile(file);
  std::ostringstream out, err;
  ASSERT_EQ(qar::cli::runCli({"compact", file.string()}, out, err), 0) << err.str();
  EXPECT_NE(out.str().find("before: "), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("after: "), std::string::npos) << out.str();
  std::vector<fs::path> backups;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("destination-backup-", 0) == 0 && name.size() == std::string("destination-backup-20261208-154400.mdb").size()) {
      backups.push_back(entry.path());
    }
  }
  ASSERT_EQ(backups.size(), 1u) << out.str();
  EXPECT_EQ(jet::testing::readWholeFile(backups[0]), original);
  EXPECT_TRUE(jet::testing::checkFile(file).ok());
  EXPECT_EQ(everyRow(file), everyRow(backups[0]));
  // A destination that exists is not overwritten.
  EXPECT_NE(qar::cli::runCli({"compact", file.string(), backups[0].string()}, out, err), 0);
  EXPECT_EQ(jet::testing::readWholeFile(backups[0]), original);
}

}  // namespace
