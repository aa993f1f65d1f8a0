// The run's pre-flight: damaged destinations, a destination another run holds, and drifted
// counters. A refused destination keeps its bytes and gets no backup; an accepted one converts
// and still passes the check.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <random>

#include "jet/check/structure_check.h"
#include "jet/check/write_fitness.h"
#include "jet/database_impl.h"
#include "support/engine_test_support.h"

namespace qar::test {
namespace {

const QStringList kAllTables{"DepartmentData", "UserRightsData", "CardData",      "TimerData",    "EmergencyDoorData",
                             "ControllerData", "CRAppSetData",   "HolderData",    "CRCardData",   "CRDISetData",
                             "CRDOSetData",    "CRFlowData",     "CRModuleData",  "CRTimerData",  "CRTimeZoneData",
                             "HolidayData",    "HolderCardData", "IOData"};

std::vector<std::string> names(const QStringList& tables) {
  std::vector<std::string> out;
  for (const QString& t : tables) out.push_back(t.toStdString());
  return out;
}

// The verdict the pre-flight should reach: "" when the destination is fit for the tables.
std::string fitness(const QString& path, const QStringList& tables) {
  try {
    auto db = jet::openDatabaseFile(path.toStdString(), jet::OpenMode::ReadOnly);
    std::vector<std::string> present;
    for (const auto& t : names(tables)) {
      if (db->findTable(t)) present.push_back(t);
    }
    jet::StructureReport report = jet::checkFitForWriting(*db, present);
    return report.ok() ? "" : report.defects.front();
  } catch (const std::exception& e) {
    return e.what();
  }
}

// The table check with a second thread (through a second open) reports what one thread
// reports, defect for defect and in the same order; "" when they agree.
std::string helperDisagrees(const QString& path, const QStringList& tables) {
  auto outcome = [&](bool helped) {
    std::string text;
    try {
      auto db = jet::openDatabaseFile(path.toStdString(), jet::OpenMode::ReadOnly);
      auto helper = helped ? jet::openDatabaseFile(path.toStdString(), jet::OpenMode::ReadOnly) : nullptr;
      std::vector<std::string> present;
      for (const auto& t : names(tables)) present.push_back(t);
      present.push_back("NoSuchTable");
      const jet::StructureReport r = jet::checkTables(*db, present, helper.get());
      for (const auto& d : r.defects) text += "defect: " + d + "\n";
      for (const auto& w : r.warnings) text += "warning: " + w + "\n";
      text += "tables " + std::to_string(r.tables) + " rows " + std::to_string(r.rows) + " unverified " +
              std::to_string(r.unverifiedEntries);
    } catch (const std::exception& e) {
      text = std::string("error: ") + e.what();
    }
    return text;
  };
  const std::string alone = outcome(false), helped = outcome(true);
  return alone == helped ? "" : "alone:\n" + alone + "\nhelped:\n" + helped;
}

class Preflight : public PairFolderTest {
 protected:
  QStringList backups() const { return QDir(dir_.path()).entryList({"*-backup-*"}, QDir::Files); }
  void dropBackups() {
    for (const QString& b : backups()) QFile::remove(dir_.filePath(b));
  }
};

// Damage of every kind, at pages chosen by fixed seeds: what the check rejects is refused
// before anything is written; what it accepts converts and still passes the check.
TEST_F(Preflight, DamagedDestinationsAreRefusedUntouchedOrConvertedSound) {
  if (!basicPair()) GTEST_SKIP() << "the shared fixtures (qar26m/basic) are absent";
  const QByteArray pristine = fileBytes(destination_);
  const QByteArray source = fileBytes(source_);
  const int pageSize = 4096;
  const int pages = static_cast<int>(pristine.size() / pageSize);
  int refused = 0, converted = 0;
  for (int seed = 1; seed <= 24; ++seed) {
    std::mt19937 random(static_cast<unsigned>(seed) * 7919u);
    QByteArray bytes = pristine;
    const int page = std::uniform_int_distribution<int>(1, pages - 1)(random);
    char* at = bytes.data() + qsizetype(page) * pageSize;
    std::string how;
    switch (seed % 4) {
      case 0:
        for (int i = 0; i < 6; ++i) at[std::uniform_int_distribution<int>(0, pageSize - 1)(random)] ^= char(0x5A);
        how = "bytes flipped on page " + std::to_string(page);
        break;
      case 1:
        std::fill(at, at + pageSize, char(0));
        how = "page " + std::to_string(page) + " zeroed";
        break;
      case 2:
        for (int i = 0; i < pageSize; ++i) at[i] = char(random() & 0xFF);
        how = "page " + std::to_string(page) + " filled with noise";
        break;
      case 3:
        bytes.truncate(qsizetype(page) * pageSize + (seed % 3) * 1000);
        how = "cut short at page " + std::to_string(page);
        break;
    }
    writeBytes(destination_, bytes);
    dropBackups();
    EXPECT_EQ(helperDisagrees(destination_, kAllTables), "") << how;
    const std::string verdict = fitness(destination_, kAllTables);
    RecordingObserver observer;
    const RunOutcome outcome = convert(source_, destination_, kAllTables, observer);
    if (!verdict.empty()) {
      ++refused;
      EXPECT_EQ(outcome.failure, RunFailure::DestinationConnect) << how << ": " << verdict;
      ASSERT_EQ(observer.boxes.size(), 1u) << how;
      EXPECT_EQ(observer.boxes[0].text, QStringLiteral("Destination Database Connect failure!")) << how;
      EXPECT_EQ(fileBytes(destination_), bytes) << how << ": the refused destination changed";
      EXPECT_TRUE(backups().isEmpty()) << how << ": a backup was left behind";
      EXPECT_TRUE(observer.tablesStarted.isEmpty()) << how;
    } else {
      ++converted;
      EXPECT_EQ(outcome.status, RunStatus::Completed)
          << how << ": " << (observer.boxes.empty() ? QString() : observer.boxes[0].details).toStdString();
      EXPECT_EQ(fitness(destination_, kAllTables), "") << how << ": the converted destination fails the check";
    }
    EXPECT_EQ(fileBytes(source_), source) << how;
  }
  EXPECT_GE(refused, 6);
  EXPECT_GE(converted, 1);
}

// A second run into a destination another run (or program) is writing is refused at once,
// with the cause in the details; nothing is written and no backup is made.
TEST_F(Preflight, ADestinationHeldForWritingIsRefused) {
  if (!basicPair()) GTEST_SKIP() << "the shared fixtures (qar26m/basic) are absent";
  const QByteArray before = fileBytes(destination_);
  auto holder = jet::Database::open(destination_.toStdString(), jet::OpenMode::ReadWrite);
  RecordingObserver observer;
  const RunOutcome outcome = convert(source_, destination_, {"DepartmentData", "TimerData"}, observer);
  EXPECT_EQ(outcome.failure, RunFailure::DestinationConnect);
  ASSERT_EQ(observer.boxes.size(), 1u);
  EXPECT_TRUE(observer.boxes[0].details.contains(QLatin1String("in use by another program")))
      << observer.boxes[0].details.toStdString();
  holder.reset();
  EXPECT_EQ(fileBytes(destination_), before);
  EXPECT_TRUE(backups().isEmpty());
  // Once the other writer is gone the same run goes through.
  RecordingObserver again;
  EXPECT_EQ(convert(source_, destination_, {"DepartmentData", "TimerData"}, again).status, RunStatus::Completed);
}

// A row count that drifted (as Access lets it) is a warning: the run goes on, and writing the
// table sets the count right.
TEST_F(Preflight, ADriftedRowCountIsNoObstacleAndIsSetRight) {
  if (!basicPair()) GTEST_SKIP() << "the shared fixtures (qar26m/basic) are absent";
  qsizetype at = 0;
  {
    auto db = jet::openDatabaseFile(destination_.toStdString(), jet::OpenMode::ReadOnly);
    const jet::TableInfo& info = db->table(*db->findTable("TimerData")).info;
    const jet::TableInfo::Location loc = info.locate(info.rowCountOffset, 4096);
    at = qsizetype(loc.page) * 4096 + loc.offset;
  }
  QByteArray bytes = fileBytes(destination_);
  bytes[at] = char(bytes[at] + 2);
  writeBytes(destination_, bytes);
  auto warnings = [&] {
    auto db = jet::openDatabaseFile(destination_.toStdString(), jet::OpenMode::ReadOnly);
    jet::StructureReport report = jet::checkStructure(*db);
    EXPECT_TRUE(report.ok()) << report.defects.front();
    std::vector<std::string> timerData;  // other tables may carry drift of their own
    for (const auto& w : report.warnings) {
      if (w.find("TimerData") != std::string::npos) timerData.push_back(w);
    }
    return timerData;
  };
  ASSERT_EQ(warnings().size(), 1u);
  RecordingObserver observer;
  EXPECT_EQ(convert(source_, destination_, {"TimerData"}, observer).status, RunStatus::Completed);
  EXPECT_TRUE(warnings().empty());
}

}  // namespace
}  // namespace qar::test
