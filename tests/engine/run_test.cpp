// The conversion run around the strategies: connecting, the table loop, the error boxes and
// their details, cancel, the backup, and the source left untouched.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "engine/selection.h"
#include "support/engine_test_support.h"

namespace qar::test {
namespace {

using jet::ColumnKind;
using jet::Row;

TableData numbered(const char* table, int rows) {
  TableData t{{table, {{"No", ColumnKind::Long}, {"Name", ColumnKind::Text, 30}}, {}}, {}};
  for (int i = 1; i <= rows; ++i) t.rows.push_back({longValue(i), text(("row " + std::to_string(i)).c_str())});
  return t;
}

class Run : public PairFolderTest {
 protected:
  QStringList files() const { return QDir(dir_.path()).entryList(QDir::Files); }

  RecordingObserver observer_;
};

TEST_F(Run, OnlyTheSourceFailureIsShownWhenBothPathsAreWrong) {
  const RunOutcome outcome = convert(dir_.filePath("nope.mdb"), dir_.filePath("nope2.mdb"),
                                     {"DepartmentData"}, observer_);
  EXPECT_EQ(outcome.status, RunStatus::Failed);
  EXPECT_EQ(outcome.failure, RunFailure::SourceConnect);
  ASSERT_EQ(observer_.boxes.size(), 1u);
  EXPECT_EQ(observer_.boxes[0].text, "Source Database Connect failure!");
  EXPECT_NE(observer_.boxes[0].details.indexOf("nope.mdb"), -1);
  EXPECT_TRUE(files().isEmpty());

  RecordingObserver empty;
  EXPECT_EQ(convert("", "", {}, empty).failure, RunFailure::SourceConnect);
}

TEST_F(Run, AWrongDestinationIsShownAsSuchAndNothingIsWritten) {
  if (!basicPair()) GTEST_SKIP() << "shared fixtures absent: " << fixturesDir().toStdString();
  const QByteArray sourceBefore = fileBytes(source_);
  const RunOutcome outcome = convert(source_, dir_.filePath("missing.mdb"), {"DepartmentData"}, observer_);
  EXPECT_EQ(outcome.failure, RunFailure::DestinationConnect);
  ASSERT_EQ(observer_.boxes.size(), 1u);
  EXPECT_EQ(observer_.boxes[0].text, "Destination Database Connect failure!");
  EXPECT_TRUE(outcome.backupPath.isEmpty());
  EXPECT_EQ(fileBytes(source_), sourceBefore);
  EXPECT_EQ(files(), QStringList({"destination.mdb", "source.mdb"}));
}

TEST_F(Run, NoTableSelectedConnectsBothAndCompletesWithoutBackup) {
  if (!basicPair()) GTEST_SKIP() << "shared fixtures absent: " << fixturesDir().toStdString();
  const QByteArray destinationBefore = fileBytes(destination_);
  const RunOutcome outcome = convert(source_, destination_, {}, observer_);
  EXPECT_TRUE(outcome.completed());
  EXPECT_TRUE(outcome.tables.empty());
  EXPECT_TRUE(observer_.boxes.empty());
  EXPECT_TRUE(outcome.backupPath.isEmpty());
  EXPECT_EQ(fileBytes(destination_), destinationBefore);
  EXPECT_EQ(files().size(), 2);
}

TEST_F(Run, ATableMissingFromTheDestinationIsTableNotFound) {
  if (!basicPair()) GTEST_SKIP() << "shared fixtures absent: " << fixturesDir().toStdString();
  const QString empty = fixturesDir() + "/access/empty-jet4-2000.mdb";
  ASSERT_TRUE(QFile::remove(destination_));
  ASSERT_TRUE(QFile::copy(empty, destination_));
  QFile::setPermissions(destination_, QFile::ReadOwner | QFile::WriteOwner);
  const RunOutcome outcome = convert(source_, destination_, {"CRFlowData"}, observer_);
  EXPECT_EQ(outcome.failure, RunFailure::TableNotFound);
  ASSERT_EQ(observer_.boxes.size(), 1u);
  EXPECT_EQ(observer_.boxes[0].text, "Table Not Found!");
  const std::string details = observer_.boxes[0].details.toStdString();
  EXPECT_NE(details.find("CRFlowData"), std::string::npos) << details;
  EXPECT_NE(details.find("destination"), std::string::npos) << details;
  EXPECT_TRUE(outcome.tables.empty());
  EXPECT_TRUE(outcome.backupPath.isEmpty());
}

TEST_F(Run, EarlierTablesStayConvertedWhenALaterOneIsMissing) {
  QAR_BUILD_OR_SKIP(source_, numbered("TimerData", 3), numbered("HolidayData", 2));
  QAR_BUILD_OR_SKIP(destination_, numbered("TimerData", 1));
  const RunOutcome outcome = convert(source_, destination_, {"TimerData", "HolidayData"}, observer_);
  EXPECT_EQ(outcome.failure, RunFailure::TableNotFound);
  EXPECT_EQ(readRows(destination_, "TimerData").size(), 3u);
  EXPECT_EQ(observer_.tablesDone, QStringList({"TimerData"}));
}

TEST_F(Run, CancelInAReplacedTableKeepsWhatWasAppendedAndTouchesNoLaterTable) {
  if (!basicPair()) GTEST_SKIP() << "shared fixtures absent: " << fixturesDir().toStdString();
  const std::vector<Row> timers = readRows(source_, "TimerData");
  const std::vector<Row> ioBefore = readRows(destination_, "IOData");
  ASSERT_GE(timers.size(), 3u);
  observer_.onRecord = [](const QString& table, int r) {
    if (table == "TimerData" && r == 3) CopyCancelled = true;
  };
  const RunOutcome outcome = convert(source_, destination_, {"TimerData", "IOData"}, observer_);
  EXPECT_EQ(outcome.status, RunStatus::Cancelled);
  EXPECT_TRUE(observer_.boxes.empty());
  EXPECT_EQ(readRows(destination_, "TimerData"), (std::vector<Row>{timers[0], timers[1]}));
  EXPECT_EQ(readRows(destination_, "IOData"), ioBefore);
  EXPECT_EQ(observer_.tablesStarted, QStringList({"TimerData"}));
  EXPECT_EQ(observer_.tablesDone, QStringList({"TimerData"}));
  ASSERT_EQ(outcome.tables.size(), 1u);
  EXPECT_FALSE(outcome.tables[0].finished);
  EXPECT_EQ(outcome.tables[0].recordsAppended, 2);
}

TEST_F(Run, CancelInAMergeTableLeavesTheLaterTablesUntouched) {
  QAR_BUILD_OR_SKIP(source_, numbered("ControllerData", 4), numbered("HolidayData", 3));
  QAR_BUILD_OR_SKIP(destination_, numbered("ControllerData", 0), numbered("HolidayData", 1));
  observer_.onRecord = [](const QString& table, int r) {
    if (table == "ControllerData" && r == 2) CopyCancelled = true;
  };
  const RunOutcome outcome = convert(source_, destination_, {"ControllerData", "HolidayData"}, observer_);
  EXPECT_EQ(outcome.status, RunStatus::Cancelled);
  EXPECT_EQ(readRows(destination_, "ControllerData"), (std::vector<Row>{{longValue(1), text("row 1")}}));
  EXPECT_EQ(readRows(destination_, "HolidayData").size(), 1u);
}

TEST_F(Run, TheBackupIsTheDestinationBeforeTheRunAndCanBeTurnedOff) {
  if (!basicPair()) GTEST_SKIP() << "shared fixtures absent: " << fixturesDir().toStdString();
  const QByteArray before = fileBytes(destination_);
  const QByteArray sourceBefore = fileBytes(source_);
  const RunOutcome outcome = convert(source_, destination_, {"TimerData", "EmergencyDoorData"}, observer_);
  ASSERT_TRUE(outcome.completed()) << outcome.errorDetails.toStdString();
  ASSERT_TRUE(outcome.backupPath.startsWith(dir_.filePath("destination-backup-")));
  EXPECT_EQ(fileBytes(outcome.backupPath), before);
  EXPECT_EQ(fileBytes(source_), sourceBefore);
  EXPECT_NE(summaryText(outcome).indexOf(outcome.backupPath), -1);
  EXPECT_EQ(readRows(destination_, "EmergencyDoorData"), readRows(source_, "EmergencyDoorData"));

  QFile::remove(outcome.backupPath);
  RecordingObserver again;
  const RunOutcome second = convert(source_, destination_, {"TimerData"}, again, RunOptions{false});
  EXPECT_TRUE(second.completed());
  EXPECT_TRUE(second.backupPath.isEmpty());
  EXPECT_EQ(files(), QStringList({"destination.mdb", "source.mdb"}));
}

}  // namespace
}  // namespace qar::test
