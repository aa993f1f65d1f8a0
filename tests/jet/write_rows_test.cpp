// Row writes on copies of Access-written and library-written files: inserts, updates (in place
// and moved), deletes, long values, value checks, and what other readers (mdbtools) see.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>
#include <signal.h>
#include <sys/resource.h>

#include "jet/database.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace {

using jet::testing::TempDir;
using jet::testing::fixture;

std::string run(const std::string& command) { return jet::testing::runCommand(command); }

using jet::testing::haveMdbTools;

std::string mdbExport(const std::filesystem::path& file, const std::string& table) {
  return run("mdb-export '" + file.string() + "' '" + table + "' 2>&1");
}

std::vector<std::pair<jet::RowId, jet::Row>> scanAll(const jet::Table& table) {
  std::vector<std::pair<jet::RowId, jet::Row>> rows;
  auto cursor = table.scan();
  while (cursor.next()) rows.emplace_back(cursor.id(), cursor.values());
  return rows;
}

// HolderCardData: HolderID Long, CardNo Text(20), Assigned DateTime; no indexes.
jet::Row holderCard(int32_t holder, const std::string& card, double day) {
  return jet::Row{holder, card, jet::DateTime{day}};
}

class WriteRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QAR_REQUIRE_FIXTURES();
    source_ = fixture("qar26m/basic/destination.mdb");
    if (source_.empty()) GTEST_SKIP() << "qar26m/basic/destination.mdb not found";
    path_ = dir_.copy(source_);
  }
  TempDir dir_;
  std::filesystem::path source_, path_;
};

TEST_F(WriteRowsTest, InsertedRowsReadBackThroughTheEngineAndMdbtools) {
  std::string otherBefore = haveMdbTools() ? mdbExport(path_, "TimerData") : "";
  std::vector<jet::RowId> ids;
  {
    auto db = jet::Database::open(path_.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("HolderCardData");
    ASSERT_EQ(t.rowCount(), 29u);
    for (int i = 0; i < 3; ++i) {
      jet::Row r = holderCard(9000 + i, i == 1 ? "卡片-Ω" : "CARD-" + std::to_string(i), 45000.5 + i);
      ids.push_back(t.insert(r));
    }
    jet::Row withNull{int32_t{9100}, jet::Null{}, jet::Null{}};
    ids.push_back(t.insert(withNull));
    EXPECT_EQ(t.rowCount(), 33u);
    EXPECT_EQ(t.read(ids[1])[1], jet::Value(std::string("卡片-Ω")));
    db->close();
  }
  auto db = jet::Database::open(path_.string());
  auto t = db->table("HolderCardData");
  EXPECT_EQ(t.rowCount(), 33u);
  auto rows = scanAll(t);
  ASSERT_EQ(rows.size(), 33u);
  EXPECT_EQ(rows[29].second, holderCard(9000, "CARD-0", 45000.5));
  EXPECT_EQ(rows[30].second, holderCard(9001, "卡片-Ω", 45001.5));
  EXPECT_TRUE(jet::isNull(rows[32].second[1]));
  if (haveMdbTools()) {
    std::string out = mdbExport(path_, "HolderCardData");
    EXPECT_NE(out.find("9001,\"卡片-Ω\""), std::string::npos) << out;
    EXPECT_NE(out.find("9100,,"), std::string::npos) << out;
    EXPECT_EQ(mdbExport(path_, "TimerData"), otherBefore);
  }
}

TEST_F(WriteRowsTest, UpdatesInPlaceAndMovedKeepScanOrder) {
  std::vector<jet::RowId> order;
  {
    auto db = jet::Database::open(path_.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("HolderCardData");
    auto rows = scanAll(t);
    for (auto& [id, row] : rows) order.push_back(id);
    // Shorter text: stays where it is. Longest text the column takes: moves.
    t.update(rows[0].first, holderCard(1, "S", 40000));
    t.update(rows[1].first, holderCard(2, std::string(20, 'L'), 40001));
    t.update(rows[1].first, holderCard(3, std::string(19, 'M'), 40002));  // a moved row again
    EXPECT_EQ(t.rowCount(), 29u);
    db->close();
  }
  auto db = jet::Database::open(path_.string());
  auto t = db->table("HolderCardData");
  auto rows = scanAll(t);
  ASSERT_EQ(rows.size(), order.size());
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].first, order[i]);
  EXPECT_EQ(rows[0].second, holderCard(1, "S", 40000));
  EXPECT_EQ(rows[1].second, holderCard(3, std::string(19, 'M'), 40002));
  if (haveMdbTools()) {
    std::string out = mdbExport(path_, "HolderCardData");
    EXPECT_NE(out.find("3,\"" + std::string(19, 'M') + "\""), std::string::npos) << out;
    EXPECT_NE(out.find("1,\"S\""), std::string::npos) << out;
  }
}

TEST_F(WriteRowsTest, DeletesFollowRowCountAndReaders) {
  {
    auto db = jet::Database::open(path_.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("HolderCardData");
    auto rows = scanAll(t);
    t.remove(rows[0].first);
    t.remove(rows[5].first);
    EXPECT_EQ(t.rowCount(), 27u);
    EXPECT_THROW(t.remove(rows[0].first), jet::Error);
    EXPECT_THROW(t.read(rows[5].first), jet::Error);
    db->close();
  }
  auto db = jet::Database::open(path_.string(), jet::OpenMode::ReadWrite);
  auto t = db->table("HolderCardData");
  EXPECT_EQ(t.rowCount(), 27u);
  EXPECT_EQ(scanAll(t).size(), 27u);
  EXPECT_EQ(t.removeAll(), 27u);
  EXPECT_EQ(t.rowCount(), 0u);
  db->close();
  if (haveMdbTools()) {
    std::string out = mdbExport(path_, "HolderCardData");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;  // the header line only
  }
}

TEST_F(WriteRowsTest, BadValuesAreRefusedAndNothingIsWritten) {
  auto before = jet::testing::readWholeFile(path_);
  {
    auto db = jet::Database::open(path_.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("HolderCardData");
    jet::Row tooLong = holderCard(1, std::string(21, 'x'), 1);
    EXPECT_THROW(
        {
          try {
            t.insert(tooLong);
          } catch (const jet::Error& e) {
            EXPECT_EQ(e.kind(), jet::ErrorKind::Invalid);
            EXPECT_NE(std::string(e.what()).find("CardNo"), std::string::npos) << e.what();
            throw;
          }
        },
        jet::Error);
    jet::Row wrongKind{int32_t{1}, std::string("x"), std::string("not a date")};
    EXPECT_THROW(t.insert(wrongKind), jet::Error);
    jet::Row shortRow{int32_t{1}};
    EXPECT_THROW(t.insert(shortRow), jet::Error);
    auto timers = db->table("TimerData");
    auto rows = scanAll(timers);
    jet::Row outOfRange = rows[0].second;
    outOfRange[0] = int32_t{40000};  // TimerNo is an Integer
    EXPECT_THROW(timers.update(rows[0].first, outOfRange), jet::Error);
    EXPECT_EQ(timers.read(rows[0].first), rows[0].second);
    // A table with indexes refuses writes until index upkeep exists.
    auto cards = db->table("CardData");
    auto cardRows = scanAll(cards);
    try {
      cards.remove(cardRows.at(0).first);
    } catch (const jet::Error& e) {
      EXPECT_NE(std::string(e.what()).find("has indexes"), std::string::npos) << e.what();
    }
    db->close();
  }
  if (jet::testing::readWholeFile(path_) != before) {
    // Only an index-maintaining build may have written the CardData delete.
    auto db = jet::Database::open(path_.string());
    EXPECT_EQ(db->table("HolderCardData").rowCount(), 29u);
  }
}

TEST_F(WriteRowsTest, ReadOnlyAndLockedFilesAreNotWritten) {
  auto before = jet::testing::readWholeFile(path_);
  auto modified = std::filesystem::last_write_time(path_);
  {
    auto db = jet::Database::open(path_.string());
    auto t = db->table("HolderCardData");
    jet::Row r = holderCard(1, "x", 1);
    try {
      t.insert(r);
      ADD_FAILURE() << "a database open for reading took an insert";
    } catch (const jet::Error& e) {
      EXPECT_EQ(e.kind(), jet::ErrorKind::ReadOnly) << e.what();
    }
    db->close();
  }
  EXPECT_EQ(std::filesystem::last_write_time(path_), modified);
  auto writer = jet::Database::open(path_.string(), jet::OpenMode::ReadWrite);
  try {
    jet::Database::open(path_.string(), jet::OpenMode::ReadWrite);
    ADD_FAILURE() << "a second writer was let in";
  } catch (const jet::Error& e) {
    EXPECT_EQ(e.kind(), jet::ErrorKind::InUse);
  }
  writer->close();
  EXPECT_EQ(jet::testing::readWholeFile(path_), before);
}

TEST_F(WriteRowsTest, DiskFullDuringFlushLeavesTheFileAsItWas) {
  auto before = jet::testing::readWholeFile(path_);
  struct rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  {
    auto db = jet::Database::open(path_.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("HolderCardData");
    for (int i = 0; i < 2000; ++i) {
      jet::Row r = holderCard(i, "FULL-" + std::to_string(i), 44000 + i);
      t.insert(r);
    }
    struct rlimit lim = old;
    lim.rlim_cur = before.size();  // the file may not grow
    setrlimit(RLIMIT_FSIZE, &lim);
    EXPECT_THROW(db->flush(), jet::Error);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(jet::testing::readWholeFile(path_), before);
    EXPECT_EQ(t.rowCount(), 29u);  // the unwritten rows are gone from the open database too
    jet::Row r = holderCard(1, "after", 1);
    t.insert(r);
    db->close();
  }
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(std::filesystem::exists(path_.string() + "-journal"));
  auto db = jet::Database::open(path_.string());
  EXPECT_EQ(db->table("HolderCardData").rowCount(), 30u);
}

TEST_F(WriteRowsTest, InterruptedFlushIsUndoneFromTheJournal) {
  auto before = jet::testing::readWholeFile(path_);
  // Simulate a crash: keep the journal and the half-written file a flush leaves behind.
  {
    auto db = jet::Database::open(path_.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("HolderCardData");
    auto rows = scanAll(t);
    t.remove(rows[0].first);
    jet::Row r = holderCard(5, "journal", 5);
    t.insert(r);
    db->flush();
    db->close();
  }
  auto after = jet::testing::readWholeFile(path_);
  ASSERT_NE(after, before);
  // A journal holding the old pages of every page that differs, as a flush writes it.
  std::vector<uint8_t> journal(24);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) journal[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(0, 0x4A524151);
  put32(4, 4096);
  uint64_t size = before.size();
  for (int i = 0; i < 8; ++i) journal[8 + i] = static_cast<uint8_t>(size >> (8 * i));
  uint32_t count = 0;
  for (size_t p = 0; p * 4096 < before.size(); ++p) {
    if (std::equal(before.begin() + p * 4096, before.begin() + (p + 1) * 4096, after.begin() + p * 4096)) continue;
    size_t at = journal.size();
    journal.resize(at + 4 + 4096);
    put32(at, static_cast<uint32_t>(p));
    std::copy(before.begin() + p * 4096, before.begin() + (p + 1) * 4096, journal.begin() + at + 4);
    ++count;
  }
  put32(16, count);
  size_t at = journal.size();
  journal.resize(at + 8);
  put32(at, 0x4A524151);
  put32(at + 4, count);
  jet::testing::writeWholeFile(path_.string() + "-journal", journal);
  {
    auto db = jet::Database::open(path_.string(), jet::OpenMode::ReadWrite);
    EXPECT_EQ(db->table("HolderCardData").rowCount(), 29u);
  }
  EXPECT_EQ(jet::testing::readWholeFile(path_), before);
  EXPECT_FALSE(std::filesystem::exists(path_.string() + "-journal"));
}

// Random inserts, updates and deletes checked against a model after every flush and after
// reopening the file.
TEST_F(WriteRowsTest, RandomSequencesMatchAModel) {
  std::mt19937 rng(20261208);
  std::map<jet::RowId, jet::Row> model;
  {
    auto db = jet::Database::open(path_.string());
    for (auto& [id, row] : scanAll(db->table("HolderCardData"))) model[id] = row;
  }
  auto randomRow = [&] {
    std::uniform_int_distribution<int> len(0, 20), ch('A', 'Z'), kind(0, 9);
    std::string text;
    int n = len(rng);
    for (int i = 0; i < n; ++i) text.push_back(static_cast<char>(ch(rng)));
    if (kind(rng) == 0) text = "Ünïcødé " + text.substr(0, 8);
    jet::Row r{static_cast<int32_t>(rng()), text, jet::DateTime{static_cast<double>(rng() % 60000)}};
    if (kind(rng) == 1) r[1] = jet::Null{};
    if (kind(rng) == 2) r[2] = jet::Null{};
    return r;
  };
  auto compare = [&](const jet::Table& t, const char* when) {
    auto rows = scanAll(t);
    ASSERT_EQ(rows.size(), model.size()) << when;
    ASSERT_EQ(t.rowCount(), model.size()) << when;
    for (auto& [id, row] : rows) {
      auto it = model.find(id);
      ASSERT_NE(it, model.end()) << when;
      ASSERT_EQ(row, it->second) << when << " page " << id.page << " row " << id.row;
    }
  };
  for (int round = 0; round < 6; ++round) {
    auto db = jet::Database::open(path_.string(), jet::OpenMode::ReadWrite);
    auto t = db->table("HolderCardData");
    for (int step = 0; step < 400; ++step) {
      int op = static_cast<int>(rng() % 10);
      if (op < 5 || model.empty()) {
        jet::Row r = randomRow();
        jet::RowId id = t.insert(r);
        ASSERT_FALSE(model.count(id));
        model[id] = r;
      } else {
        auto it = model.begin();
        std::advance(it, rng() % model.size());
        if (op < 8) {
          jet::Row r = randomRow();
          t.update(it->first, r);
          it->second = r;
        } else {
          t.remove(it->first);
          model.erase(it);
        }
      }
      if (step % 100 == 99) {
        db->flush();
        compare(t, "after flush");
      }
    }
    db->close();
    auto reread = jet::Database::open(path_.string());
    compare(reread->table("HolderCardData"), "after reopening");
  }
  if (haveMdbTools()) {
    std::string out = mdbExport(path_, "HolderCardData");
    EXPECT_EQ(static_cast<size_t>(std::count(out.begin(), out.end(), '\n')), model.size() + 1);
  }
}

}  // namespace
