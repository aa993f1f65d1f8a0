// A flush that fails at any page write leaves the file exactly as it was: the writes go to a
// file that refuses its n-th write, for every n a flush makes; also when the flush gives
// pages back and cuts the file shorter.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/io/file.h"
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
    auto file = std::make_unique<FailingFile>(original, -1);
    FailingFile* raw = file.get();
    auto db = jet::openDatabaseImpl(std::move(file), path, jet::OpenMode::ReadWrite);
    writeSome(*db);
    db->writer().flush();
    total = raw->writes();
    EXPECT_NE(raw->bytes(), original);
  }
  ASSERT_GT(total, 3);
  for (int failAt = 1; failAt <= total; ++failAt) {
    auto file = std::make_unique<FailingFile>(original, failAt);
    FailingFile* raw = file.get();
    auto db = jet::openDatabaseImpl(std::move(file), path, jet::OpenMode::ReadWrite);
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
    auto file = std::make_unique<FailingFile>(original, -1);
    FailingFile* raw = file.get();
    auto db = jet::openDatabaseImpl(std::move(file), path, jet::OpenMode::ReadWrite);
    emptyIt(*db);
    db->writer().flush();
    total = raw->writes();
    ASSERT_LT(raw->bytes().size() * 4, original.size()) << "the emptied file is cut short";
  }
  for (int failAt = 1; failAt <= total; ++failAt) {
    auto file = std::make_unique<FailingFile>(original, failAt);
    FailingFile* raw = file.get();
    auto db = jet::openDatabaseImpl(std::move(file), path, jet::OpenMode::ReadWrite);
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

}  // namespace
