// The four transfer strategies run headless through the conversion run, on small databases
// built with the storage engine, checked record by record.
#include <gtest/gtest.h>

#include "engine/selection.h"
#include "support/engine_test_support.h"

namespace qar::test {
namespace {

using jet::ColumnKind;
using jet::Row;

jet::ColumnSpec column(const char* name, ColumnKind kind, int size = 0, bool autoNumber = false) {
  return jet::columnSpec(name, kind, size, autoNumber);
}

TableData departments(std::vector<Row> rows) {
  return {{"DepartmentData",
           {column("DepartmentID", ColumnKind::Text, 10), column("DepartmentName", ColumnKind::Text, 50),
            column("ParentID", ColumnKind::Text, 10)},
           {}},
          std::move(rows)};
}

TableData controllers(std::vector<Row> rows) {
  return {{"ControllerData", {column("ControllerNo", ColumnKind::Long), column("ControllerName", ColumnKind::Text, 30)}, {}},
          std::move(rows)};
}

TableData appSettings(std::vector<Row> rows) {
  return {{"CRAppSetData",
           {column("ControllerKey", ColumnKind::Text, 10), column("AppID", ColumnKind::Long),
            column("AppValue", ColumnKind::Text, 20), column("AppLevel", ColumnKind::Long)},
           {}},
          std::move(rows)};
}

TableData cards(std::vector<Row> rows, bool autoNumber) {
  return {{"CardData",
           {column("ID", ColumnKind::Long, 0, autoNumber), column("CardType", ColumnKind::Long),
            column("CardNo", ColumnKind::Text, 20), column("HolderID", ColumnKind::Long)},
           {}},
          std::move(rows)};
}

TableData holidays(std::vector<Row> rows, bool autoNumber = false, const char* name = "HolidayData") {
  return {{name, {column("HolidayNo", ColumnKind::Long, 0, autoNumber), column("HolidayName", ColumnKind::Text, 30)}, {}},
          std::move(rows)};
}

class Strategies : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    source_ = dir_.filePath("source.mdb");
    destination_ = dir_.filePath("destination.mdb");
  }
  RunOutcome run(const QStringList& names, RunOptions options = {}) {
    return convert(source_, destination_, names, observer_, options);
  }

  QTemporaryDir dir_;
  QString source_;
  QString destination_;
  RecordingObserver observer_;
};

TEST_F(Strategies, MergeOnOneKeyUpdatesCaseDifferingKeysAndAppendsAbsentOnes) {
  QAR_BUILD_OR_SKIP(source_, departments({{text("d01"), text("Sales 2"), text("p")},
                                           {text("D02"), text("New"), text("y")},
                                           {text("D03"), text("Third"), null()}}));
  QAR_BUILD_OR_SKIP(destination_, departments({{text("D01"), text("Sales"), text("")},
                                                {text("d02"), text("Old"), text("x")}}));
  const RunOutcome outcome = run({"DepartmentData"});
  ASSERT_TRUE(outcome.completed()) << outcome.errorDetails.toStdString();
  // The key column of an updated record is not written: its letter case stays.
  EXPECT_EQ(readRows(destination_, "DepartmentData"),
            (std::vector<Row>{{text("D01"), text("Sales 2"), text("p")},
                              {text("d02"), text("New"), text("y")},
                              {text("D03"), text("Third"), null()}}));
  ASSERT_EQ(outcome.tables.size(), 1u);
  EXPECT_EQ(outcome.tables[0].recordsRead, 3);
  EXPECT_EQ(outcome.tables[0].recordsUpdated, 2);
  EXPECT_EQ(outcome.tables[0].recordsAppended, 1);
  EXPECT_TRUE(outcome.tables[0].finished);
  EXPECT_EQ(observer_.pumps, 3);
}

TEST_F(Strategies, MergeOnOneKeyMatchesNumericKeysOnTheirTextAndAppendsAnEmptyKey) {
  QAR_BUILD_OR_SKIP(source_, controllers({{longValue(2), text("B2")}, {null(), text("no key")}, {longValue(3), text("c")}}));
  QAR_BUILD_OR_SKIP(destination_, controllers({{longValue(1), text("a")}, {longValue(2), text("b")}}));
  const RunOutcome outcome = run({"ControllerData"});
  ASSERT_TRUE(outcome.completed()) << outcome.errorDetails.toStdString();
  EXPECT_EQ(readRows(destination_, "ControllerData"),
            (std::vector<Row>{{longValue(1), text("a")},
                              {longValue(2), text("B2")},
                              {null(), text("no key")},
                              {longValue(3), text("c")}}));
}

TEST_F(Strategies, MergeOnTwoKeysUpdatesOnlyTheRecordCarryingBothKeys) {
  QAR_BUILD_OR_SKIP(source_, appSettings({{text("a"), longValue(2), text("new"), longValue(99)},
                                           {text("B"), longValue(1), text("b1"), longValue(5)},
                                           {text("A"), longValue(3), text("a3"), longValue(7)},
                                           {text("C"), longValue(1), text("c"), longValue(1)}}));
  QAR_BUILD_OR_SKIP(destination_, appSettings({{text("A"), longValue(1), text("a1"), longValue(10)},
                                                {text("A"), longValue(2), text("a2"), longValue(20)},
                                                {text("B"), longValue(2), text("b2"), longValue(30)}}));
  const RunOutcome outcome = run({"CRAppSetData"});
  ASSERT_TRUE(outcome.completed()) << outcome.errorDetails.toStdString();
  // (a, 2) finds the run of A and updates (A, 2) from column 2 on; (B, 1) and (A, 3) find
  // their first key but no record with both keys, so they are appended and (B, 2) and
  // (A, 1) keep their values; (C, 1) is new.
  EXPECT_EQ(readRows(destination_, "CRAppSetData"),
            (std::vector<Row>{{text("A"), longValue(1), text("a1"), longValue(10)},
                              {text("A"), longValue(2), text("new"), longValue(99)},
                              {text("B"), longValue(2), text("b2"), longValue(30)},
                              {text("B"), longValue(1), text("b1"), longValue(5)},
                              {text("A"), longValue(3), text("a3"), longValue(7)},
                              {text("C"), longValue(1), text("c"), longValue(1)}}));
  EXPECT_EQ(outcome.tables[0].recordsUpdated, 1);
  EXPECT_EQ(outcome.tables[0].recordsAppended, 3);
}

TEST_F(Strategies, MergeOnTwoKeysUpdatesTheFirstRecordCarryingBothKeysWhereverItLies) {
  QAR_BUILD_OR_SKIP(source_, appSettings({{text("A"), longValue(2), text("new"), longValue(9)},
                                           {text("b"), longValue(2), text("nb"), longValue(8)},
                                           {text("A"), longValue(2), text("again"), longValue(7)}}));
  QAR_BUILD_OR_SKIP(destination_, appSettings({{text("A"), longValue(1), text("a1"), longValue(1)},
                                                {text("B"), longValue(1), text("b1"), longValue(2)},
                                                {text("a"), longValue(2), text("a2"), longValue(3)},
                                                {text("A"), longValue(2), text("a2dup"), longValue(4)},
                                                {text("B"), longValue(2), text("b2"), longValue(5)}}));
  const RunOutcome outcome = run({"CRAppSetData"});
  ASSERT_TRUE(outcome.completed()) << outcome.errorDetails.toStdString();
  // The keys land on records 1 and 2; the records with both keys come later, behind records
  // of the other first key. Of two records with the same pair the first is the one updated.
  EXPECT_EQ(readRows(destination_, "CRAppSetData"),
            (std::vector<Row>{{text("A"), longValue(1), text("a1"), longValue(1)},
                              {text("B"), longValue(1), text("b1"), longValue(2)},
                              {text("a"), longValue(2), text("again"), longValue(7)},
                              {text("A"), longValue(2), text("a2dup"), longValue(4)},
                              {text("B"), longValue(2), text("nb"), longValue(8)}}));
  EXPECT_EQ(outcome.tables[0].recordsUpdated, 3);
  EXPECT_EQ(outcome.tables[0].recordsAppended, 0);
}

TEST_F(Strategies, MergeOnTwoKeysFindsARecordAppendedEarlierInTheSameRun) {
  QAR_BUILD_OR_SKIP(source_, appSettings({{text("N"), longValue(1), text("first"), longValue(1)},
                                           {text("n"), longValue(1), text("second"), longValue(2)}}));
  QAR_BUILD_OR_SKIP(destination_, appSettings({}));
  const RunOutcome outcome = run({"CRAppSetData"});
  ASSERT_TRUE(outcome.completed()) << outcome.errorDetails.toStdString();
  EXPECT_EQ(readRows(destination_, "CRAppSetData"),
            (std::vector<Row>{{text("N"), longValue(1), text("second"), longValue(2)}}));
}

TEST_F(Strategies, PositionalRefreshSkipsBlankTestColumnsAndAppendsRecordsWithoutPartner) {
  QAR_BUILD_OR_SKIP(source_, cards({{longValue(101), longValue(2), text("N1"), longValue(21)},
                                     {longValue(102), longValue(2), text("N2"), longValue(22)},
                                     {longValue(103), longValue(2), text(" \t "), longValue(23)},
                                     {longValue(104), longValue(2), text(" N4"), longValue(24)},
                                     {longValue(105), longValue(2), text("N5"), longValue(25)},
                                     {longValue(106), longValue(2), null(), longValue(26)}},
                                    false));
  QAR_BUILD_OR_SKIP(destination_, cards({{null(), longValue(1), text("C1"), longValue(11)},
                                          {null(), longValue(1), text("C2"), longValue(12)},
                                          {null(), longValue(1), text("C3"), longValue(13)},
                                          {null(), longValue(1), text("C4"), longValue(14)}},
                                         true));
  const RunOutcome outcome = run({"CardData"});
  ASSERT_TRUE(outcome.completed()) << outcome.errorDetails.toStdString();
  // Column 0 is never written: the auto-numbers stay, and the appended record gets the next.
  EXPECT_EQ(readRows(destination_, "CardData"),
            (std::vector<Row>{{longValue(1), longValue(2), text("N1"), longValue(21)},
                              {longValue(2), longValue(2), text("N2"), longValue(22)},
                              {longValue(3), longValue(1), text("C3"), longValue(13)},
                              {longValue(4), longValue(2), text(" N4"), longValue(24)},
                              {longValue(5), longValue(2), text("N5"), longValue(25)}}));
  const TableSummary& t = outcome.tables[0];
  EXPECT_EQ(t.recordsUpdated, 3);
  EXPECT_EQ(t.recordsUnchanged, 2);
  EXPECT_EQ(t.recordsAppended, 1);
}

TEST_F(Strategies, ReplaceAllCopiesTheSourceAndEmptiesForAnEmptySource) {
  QAR_BUILD_OR_SKIP(source_, holidays({{longValue(7), text("New Year")}, {longValue(3), text("Spring")}}),
                              holidays({}, false, "TimerData"));
  QAR_BUILD_OR_SKIP(destination_, holidays({{longValue(1), text("old")}, {longValue(2), text("older")}, {longValue(3), text("x")}}),
                                   holidays({{longValue(1), text("gone")}}, false, "TimerData"));
  const RunOutcome outcome = run({"TimerData", "HolidayData"});
  ASSERT_TRUE(outcome.completed()) << outcome.errorDetails.toStdString();
  EXPECT_EQ(readRows(destination_, "HolidayData"),
            (std::vector<Row>{{longValue(7), text("New Year")}, {longValue(3), text("Spring")}}));
  EXPECT_TRUE(readRows(destination_, "TimerData").empty());
  EXPECT_EQ(outcome.tables[0].recordsRemoved, 1);
  EXPECT_EQ(outcome.tables[1].recordsRemoved, 3);
  EXPECT_EQ(observer_.records, 2);
}

TEST_F(Strategies, EmptySourceChangesNothingInMergeAndRefreshTables) {
  QAR_BUILD_OR_SKIP(source_, departments({}), cards({}, false));
  QAR_BUILD_OR_SKIP(destination_, departments({{text("D1"), text("x"), null()}}),
                                   cards({{longValue(1), longValue(1), text("C"), longValue(1)}}, false));
  const QByteArray before = fileBytes(destination_);
  const RunOutcome outcome = run({"DepartmentData", "CardData"}, RunOptions{false});
  ASSERT_TRUE(outcome.completed());
  EXPECT_EQ(readRows(destination_, "DepartmentData"), (std::vector<Row>{{text("D1"), text("x"), null()}}));
  EXPECT_EQ(readRows(destination_, "CardData").size(), 1u);
  EXPECT_EQ(observer_.records, 0);
}

TEST_F(Strategies, AnExtraDestinationColumnFailsAtTheFirstRecord) {
  QAR_BUILD_OR_SKIP(source_, controllers({{longValue(1), text("one")}}));
  TableData wide = controllers({{longValue(5), text("five"), text("extra")}});
  wide.blueprint.columns.push_back(column("Remark", ColumnKind::Text, 20));
  QAR_BUILD_OR_SKIP(destination_, wide);
  const RunOutcome outcome = run({"ControllerData"});
  EXPECT_EQ(outcome.status, RunStatus::Failed);
  ASSERT_EQ(observer_.boxes.size(), 1u);
  EXPECT_EQ(observer_.boxes[0].text, "Fields Transform Error!");
  EXPECT_EQ(outcome.errorText, "Fields Transform Error!");
  const std::string details = observer_.boxes[0].details.toStdString();
  EXPECT_NE(details.find("ControllerData"), std::string::npos) << details;
  EXPECT_NE(details.find("record 1 of 1"), std::string::npos) << details;
  EXPECT_NE(details.find("column 2"), std::string::npos) << details;
  EXPECT_EQ(readRows(destination_, "ControllerData"),
            (std::vector<Row>{{longValue(5), text("five"), text("extra")}}));
}

TEST_F(Strategies, AutoNumberInAReplacedTableFailsAndLeavesItEmptyWithTheBackupIntact) {
  QAR_BUILD_OR_SKIP(source_, holidays({{longValue(7), text("New Year")}}));
  QAR_BUILD_OR_SKIP(destination_, holidays({{null(), text("old")}, {null(), text("older")}}, true));
  const QByteArray before = fileBytes(destination_);
  const RunOutcome outcome = run({"HolidayData"});
  EXPECT_EQ(outcome.status, RunStatus::Failed);
  EXPECT_EQ(outcome.failure, RunFailure::FieldsTransform);
  EXPECT_TRUE(readRows(destination_, "HolidayData").empty());
  ASSERT_FALSE(outcome.backupPath.isEmpty());
  EXPECT_EQ(fileBytes(outcome.backupPath), before);
  EXPECT_EQ(readRows(outcome.backupPath, "HolidayData").size(), 2u);
  EXPECT_NE(outcome.errorDetails.indexOf("HolidayNo"), -1) << outcome.errorDetails.toStdString();
}

}  // namespace
}  // namespace qar::test
