// A whole conversion with the file layer failing at the k-th write, for a spread of k, and one
// killed at random moments: the destination stays sound with no journal left, and the next
// run gives what a run that never failed gives.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "jet/check/structure_check.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/io/file.h"
#include "support/engine_test_support.h"

namespace qar::test {
namespace {

// Counts the writes of every file opened for writing and fails the one numbered failAt.
std::atomic<long> writes{0};
std::atomic<long> failAt{-1};

class CountingFile : public jet::File {
 public:
  explicit CountingFile(std::unique_ptr<jet::File> inner) : inner_(std::move(inner)) {}
  uint64_t size() const override { return inner_->size(); }
  void readAt(uint64_t offset, void* buffer, size_t len) const override { inner_->readAt(offset, buffer, len); }
  void writeAt(uint64_t offset, const void* data, size_t len) override {
    if (++writes == failAt) throw jet::Error(jet::ErrorKind::Io, "cannot write " + name() + ": No space left on device");
    inner_->writeAt(offset, data, len);
  }
  void sync() override { inner_->sync(); }
  void truncate(uint64_t len) override { inner_->truncate(len); }
  bool writable() const override { return inner_->writable(); }
  const std::string& name() const override { return inner_->name(); }
  void lockFlush(jet::FlushLock kind, int waitMs) override { inner_->lockFlush(kind, waitMs); }
  void unlockFlush() override { inner_->unlockFlush(); }
  jet::FileStamp stamp() const override { return inner_->stamp(); }

 private:
  std::unique_ptr<jet::File> inner_;
};

const QStringList kTables{"DepartmentData", "CardData", "TimerData", "HolderData", "CRTimeZoneData", "HolderCardData"};

class RunFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    jet::setWritableFileWrapper([](std::unique_ptr<jet::File> f) { return std::make_unique<CountingFile>(std::move(f)); });
  }
  void TearDown() override { jet::setWritableFileWrapper(nullptr); }

  // A fresh copy of the basic pair; false when the shared fixtures are absent.
  bool freshPair() {
    for (const char* name : {"source.mdb", "destination.mdb", "destination.mdb-journal"}) QFile::remove(dir_.filePath(name));
    return copyFixture("qar26m/basic", dir_.path());
  }
  RunOutcome runOnce(long failing) {
    writes = 0;
    failAt = failing;
    RecordingObserver observer;
    RunOutcome outcome = convert(dir_.filePath("source.mdb"), dir_.filePath("destination.mdb"), kTables, observer,
                                 RunOptions{false});
    failAt = -1;
    return outcome;
  }
  std::vector<std::vector<jet::Row>> contents() {
    std::vector<std::vector<jet::Row>> out;
    for (const QString& t : kTables) out.push_back(readRows(dir_.filePath("destination.mdb"), t));
    return out;
  }

  QTemporaryDir dir_;
};

TEST_F(RunFaults, AWriteFailingAnywhereInARunIsReportedAndTheNextRunSucceeds) {
  if (!freshPair()) GTEST_SKIP() << "the shared fixtures (qar26m/basic) are absent";
  const QByteArray source = fileBytes(dir_.filePath("source.mdb"));
  ASSERT_EQ(runOnce(-1).status, RunStatus::Completed);
  const long total = writes;
  const auto expected = contents();
  ASSERT_GT(total, 10);
  for (int step = 0; step < 12; ++step) {
    const long k = 1 + (total - 1) * step / 11;
    ASSERT_TRUE(freshPair());
    const RunOutcome failed = runOnce(k);
    EXPECT_EQ(failed.status, RunStatus::Failed) << "write " << k << " of " << total;
    EXPECT_FALSE(QFile::exists(dir_.filePath("destination.mdb-journal"))) << "write " << k;
    {
      auto db = jet::openDatabaseFile(dir_.filePath("destination.mdb").toStdString(), jet::OpenMode::ReadOnly);
      const jet::StructureReport report = jet::checkStructure(*db);
      EXPECT_TRUE(report.ok()) << "write " << k << ": " << report.defects.front();
    }
    EXPECT_EQ(runOnce(-1).status, RunStatus::Completed) << "write " << k;
    EXPECT_EQ(contents(), expected) << "write " << k;
    EXPECT_EQ(fileBytes(dir_.filePath("source.mdb")), source);
  }
}

// Conversions killed at random moments (fixed seeds): each time the next open puts the
// destination back to its last whole flush, the check and mdbtools accept it, the source is
// untouched, and the next conversion gives what a run that was never killed gives.
TEST_F(RunFaults, AConversionKilledAtAnyMomentIsPutRightByTheNextOne) {
  if (!freshPair()) GTEST_SKIP() << "the shared fixtures (qar26m/basic) are absent";
  const QByteArray source = fileBytes(dir_.filePath("source.mdb"));
  QElapsedTimer clock;
  clock.start();
  ASSERT_EQ(runOnce(-1).status, RunStatus::Completed);
  const int cleanMs = std::max<int>(5, static_cast<int>(clock.elapsed()));
  const auto expected = contents();
  std::mt19937 random(1208);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ASSERT_TRUE(freshPair());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(runOnce(-1).status == RunStatus::Completed ? 0 : 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, cleanMs)(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << "attempt " << attempt;
    const std::string destination = dir_.filePath("destination.mdb").toStdString();
    {
      auto db = jet::openDatabaseFile(destination, jet::OpenMode::ReadOnly);
      const jet::StructureReport report = jet::checkStructure(*db);
      EXPECT_TRUE(report.ok()) << "attempt " << attempt << ": " << report.defects.front();
    }
    EXPECT_FALSE(QFile::exists(dir_.filePath("destination.mdb-journal")));
    if (std::system("command -v mdb-export >/dev/null 2>&1") == 0) {
      const std::string command = "mdb-export '" + destination + "' HolderData > /dev/null";
      EXPECT_EQ(std::system(command.c_str()), 0) << "attempt " << attempt;
    }
    EXPECT_EQ(fileBytes(dir_.filePath("source.mdb")), source);
    EXPECT_EQ(runOnce(-1).status, RunStatus::Completed) << "attempt " << attempt;
    EXPECT_EQ(contents(), expected) << "attempt " << attempt;
  }
}

}  // namespace
}  // namespace qar::test
