// A flush that fails at any page write leaves the file exactly as it was: the writes go to a
// file that refuses its n-th write, for every n a flush makes; also when the flush gives
// pages back and cuts the file shorter, and when it reuses free pages (those free at the
// last flush may keep what the failed flush wrote into them; nothing else may change).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/io/file.h"
#include "jet/check/structure_check.h"
#include "jet/table_scan.h"
#include <cstring>
#include "jet/write/write_session.h"
#include "reader_fixtures.h"

namespace {

// A memory file whose n-th write (counting from 1) fails once. A write of several pages counts
// as one write per 2 KB: one failing part-way has written the parts before the failing one,
// as a torn write on disk would.
class FailingFile : public jet::File {
 public:
  static constexpr size_t kPart = 2048;
  FailingFile(std::vector<uint8_t> bytes, int failAt) : inner_(std::move(bytes)), failAt_(failAt) {}
  uint64_t size() const override { return inner_.size(); }
  void readAt(uint64_t offset, void* buffer, size_t len) const override { inner_.readAt(offset, buffer, len); }
  void writeAt(uint64_t offset, const void* data, size_t len) override {
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t done = 0; done < len || len == 0;) {
      const size_t part = std::min(kPart, len - done);
      if (++writes_ == failAt_) throw jet::Error(jet::ErrorKind::Io, "simulated write failure");
      inner_.writeAt(offset + done, bytes + done, part);
      done += part;
      if (len == 0) break;
    }
  }
  void sync() override {}
  void truncate(uint64_t len) override {
    // Cutting the file counts as a write (the first one of a flush that shrinks it may fail).
    if (len < inner_.size() && ++writes_ == failAt_) throw jet::Error(jet::ErrorKind::Io, "simulated truncate failure");
    inner_.truncate(len);
  }
  bool writable() const override { return true; }
  const std::string& name() const override { return inner_.name(); }
  const std::vector<uint8_t>& bytes() const { return inner_.bytes(); }
  int writes() const { return writes_; }

 private:
  jet::MemoryFile inner_;
  int failAt_;
  int writes_ = 0;
};

// A database on a copy of `bytes` whose failAt-th write fails (-1: none), its journal beside
// `path` on disk.
struct FailingOpen {
  std::unique_ptr<jet::DatabaseImpl> db;
  FailingFile* file = nullptr;
};
FailingOpen openFailing(const std::vector<uint8_t>& bytes, int failAt, const std::string& path) {
  auto file = std::make_unique<FailingFile>(bytes, failAt);
  FailingFile* raw = file.get();
  return {jet::openDatabaseImpl(std::move(file), path, jet::OpenMode::ReadWrite), raw};
}

// Inserts rows made by makeRow into table of a copy of the fixture `relative` (enough for new
// pages and a promoted map), then fails the flush at each of its writes in turn.
void failAtEveryWrite(const std::string& relative, const std::string& tableName,
                      const std::function<jet::Row(int)>& makeRow) {
  auto source = jet::testing::fixture(relative);
  if (source.empty()) GTEST_SKIP() << relative << " not found";
  const auto original = jet::testing::readWholeFile(source);
  jet::testing::TempDir dir;
  // The database lives in memory; its journal beside this path on disk.
  const std::string path = (dir.path() / "faulty.mdb").string();

  uint32_t rowsBefore = 0;
  auto writeSome = [&](jet::DatabaseImpl& db) {
    jet::TableImpl& table = db.table(*db.findTable(tableName));
    jet::write::TableWriter& w = db.writer().writer(table);
    rowsBefore = table.info.def.rowCount;
    for (int i = 0; i < 400; ++i) {
      jet::Row r = makeRow(i);
      w.insert(r);
    }
  };
  // How many writes a successful flush makes.
  int total = 0;
  {
    auto [db, raw] = openFailing(original, -1, path);
    writeSome(*db);
    db->writer().flush();
    total = raw->writes();
    EXPECT_NE(raw->bytes(), original);
  }
  ASSERT_GT(total, 3);
  for (int failAt = 1; failAt <= total; ++failAt) {
    auto [db, raw] = openFailing(original, failAt, path);
    writeSome(*db);
    EXPECT_THROW(db->writer().flush(), jet::Error) << "write " << failAt;
    EXPECT_EQ(raw->bytes(), original) << "write " << failAt << " of " << total;
    // The open database forgot the unwritten rows and can go on writing.
    jet::TableImpl& table = db->table(*db->findTable(tableName));
    EXPECT_EQ(table.info.def.rowCount, rowsBefore);
    jet::Row r = makeRow(1);
    db->writer().writer(table).insert(r);
    db->writer().flush();
    EXPECT_NE(raw->bytes(), original);
  }
  EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
}

TEST(WriteFaults, AFlushFailingAtAnyWriteLeavesTheFileAsItWas) {
  QAR_REQUIRE_FIXTURES();
  failAtEveryWrite("qar26m/basic/destination.mdb", "HolderCardData", [](int i) {
    return jet::Row{int32_t{i}, std::string("FAULT-") + std::to_string(i), jet::DateTime{45000.0 + i}};
  });
}

// The same on 2 KB pages: an Access 97 file, its rows in the code page.
TEST(WriteFaults, AFlushFailingAtAnyWriteLeavesAnAccess97FileAsItWas) {
  QAR_REQUIRE_FIXTURES();
  failAtEveryWrite("access/jet3/overflowTestV1997.mdb", "Table1", [](int i) {
    jet::Row r(9, jet::Null{});
    for (int c = 0; c < 9; c += 2) r[c] = std::string("Fehler \xc3\xa9 ") + std::to_string(i * c);
    return r;
  });
}

TEST(WriteFaults, AFlushThatShrinksTheFileFailingAtAnyWriteLeavesItAsItWas) {
  jet::testing::TempDir dir;
  const auto built = dir.path() / "full.mdb";
  {
    auto db = jet::Database::create(built.string());
    jet::TableSpec blueprint;
    blueprint.name = "Events";
    blueprint.columns = {{"ID", jet::ColumnKind::Long}, {"Text", jet::ColumnKind::Text, 200}, {"Notes", jet::ColumnKind::Memo}};
    blueprint.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
    auto t = db->createTable(blueprint);
    for (int32_t i = 0; i < 1500; ++i) {
      jet::Row r{i, std::string(100 + i % 90, 'x'), std::string(i % 3 == 0 ? 2500 : 10, 'm')};
      t.insert(r);
    }
    db->close();
  }
  const auto original = jet::testing::readWholeFile(built);
  const std::string path = (dir.path() / "faulty.mdb").string();
  auto emptyIt = [&](jet::DatabaseImpl& db) {
    jet::TableImpl& table = db.table(*db.findTable("Events"));
    EXPECT_EQ(db.writer().writer(table).removeAll(), 1500u);
  };
  int total = 0;
  {
    auto [db, raw] = openFailing(original, -1, path);
    emptyIt(*db);
    db->writer().flush();
    total = raw->writes();
    ASSERT_LT(raw->bytes().size() * 4, original.size()) << "the emptied file is cut short";
  }
  for (int failAt = 1; failAt <= total; ++failAt) {
    auto [db, raw] = openFailing(original, failAt, path);
    emptyIt(*db);
    EXPECT_THROW(db->writer().flush(), jet::Error) << "write " << failAt;
    EXPECT_EQ(raw->bytes(), original) << "write " << failAt << " of " << total;
    // Still usable: the rows are back, and emptying the table works this time.
    emptyIt(*db);
    db->writer().flush();
    EXPECT_LT(raw->bytes().size(), original.size());
  }
  EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
}

// Free pages of both kinds in one flush: pages free when the file was last flushed (their old
// bytes need no saving) and pages a row gave back since (their old bytes must come back).
TEST(WriteFaults, AFlushReusingFreePagesFailingAtAnyWriteLeavesEveryPageInUseAsItWas) {
  jet::testing::TempDir dir;
  const auto built = dir.path() / "holes.mdb";
  auto makeRow = [](int32_t i, size_t memo) {
    return jet::Row{i, std::string(60 + i % 50, char('a' + i % 26)), std::string(memo, char('A' + i % 26))};
  };
  {
    auto db = jet::Database::create(built.string());
    for (const char* name : {"Gone", "Kept"}) {
      jet::TableSpec blueprint;
      blueprint.name = name;
      blueprint.columns = {{"ID", jet::ColumnKind::Long}, {"Text", jet::ColumnKind::Text, 200}, {"Notes", jet::ColumnKind::Memo}};
      blueprint.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
      auto t = db->createTable(blueprint);
      for (int32_t i = 0; i < 160; ++i) {
        jet::Row r = makeRow(i, i % 4 == 0 ? 3000 : 20);
        t.insert(r);
      }
    }
    db->close();
  }
  {
    // Emptying the first table leaves its pages free between the catalog and the second's.
    auto db = jet::Database::open(built.string(), jet::OpenMode::ReadWrite);
    EXPECT_EQ(db->table("Gone").removeAll(), 160u);
    db->close();
  }
  const auto original = jet::testing::readWholeFile(built);
  const uint32_t pageSize = 4096;
  const uint32_t pages = static_cast<uint32_t>(original.size() / pageSize);
  std::vector<bool> freeBefore(pages, false);
  {
    auto db = jet::openDatabaseImpl(std::make_unique<jet::MemoryFile>(original), built.string() + ".probe",
                                    jet::OpenMode::ReadWrite);
    uint32_t free = 0;
    for (uint32_t p = 0; p < pages; ++p) free += (freeBefore[p] = db->writer().context().isFreeInMap(p)) ? 1 : 0;
    ASSERT_GT(free, 20u) << "the emptied table left free pages";
  }
  const std::string path = (dir.path() / "faulty.mdb").string();
  // Replaced long values give their pages back and new ones take them again; new rows take
  // the pages free since the start.
  auto writeSome = [&](jet::DatabaseImpl& db) {
    jet::TableImpl& table = db.table(*db.findTable("Kept"));
    jet::write::TableWriter& w = db.writer().writer(table);
    std::vector<jet::RowId> ids;
    jet::TableScanner scanner(db.pager(), table.info);
    for (jet::RowBytes row; scanner.next(row);) ids.push_back(scanner.current());
    for (size_t k = 0; k < ids.size(); k += 4) {
      jet::Row r = makeRow(int32_t(k), 2500 + k % 700);
      w.update(ids[k], r);
    }
    for (int32_t i = 1000; i < 1080; ++i) {
      jet::Row r = makeRow(i, i % 3 == 0 ? 5000 : 30);
      w.insert(r);
    }
  };
  int total = 0;
  std::vector<uint8_t> done;
  {
    auto [db, raw] = openFailing(original, -1, path);
    writeSome(*db);
    db->writer().flush();
    total = raw->writes();
    done = raw->bytes();
  }
  uint32_t reusedFree = 0;
  for (uint32_t p = 0; p < pages; ++p) {
    if (freeBefore[p] && std::memcmp(done.data() + size_t(p) * pageSize, original.data() + size_t(p) * pageSize, pageSize) != 0) ++reusedFree;
  }
  ASSERT_GT(reusedFree, 10u) << "the flush took pages that were free";
  bool freePageKeptNewBytes = false;
  for (int failAt = 1; failAt <= total; ++failAt) {
    auto [db, raw] = openFailing(original, failAt, path);
    writeSome(*db);
    EXPECT_THROW(db->writer().flush(), jet::Error) << "write " << failAt;
    const std::vector<uint8_t>& after = raw->bytes();
    ASSERT_EQ(after.size(), original.size()) << "write " << failAt;
    for (uint32_t p = 0; p < pages; ++p) {
      const bool same = std::memcmp(after.data() + size_t(p) * pageSize, original.data() + size_t(p) * pageSize, pageSize) == 0;
      if (freeBefore[p]) {
        freePageKeptNewBytes |= !same;
        continue;
      }
      ASSERT_TRUE(same) << "page " << p << " (in use) changed; write " << failAt << " of " << total;
    }
    // The file as it was reads and checks as before, and the open database goes on writing.
    auto reread = jet::openDatabaseImpl(std::make_unique<jet::MemoryFile>(after), built.string() + ".reread",
                                        jet::OpenMode::ReadWrite);
    EXPECT_TRUE(jet::checkStructure(*reread).ok()) << "write " << failAt;
    writeSome(*db);
    db->writer().flush();
    EXPECT_TRUE(jet::checkStructure(*db).ok()) << "write " << failAt;
  }
  EXPECT_TRUE(freePageKeptNewBytes) << "no failed flush left new bytes in a page that was free";
  EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
}

}  // namespace
