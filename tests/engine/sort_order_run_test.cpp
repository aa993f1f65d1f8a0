// Conversions into a destination whose text columns carry the Chinese (PRC) sort order: keys
// of printable ASCII convert all eighteen tables with every index exact; a source key the
// engine cannot build there stops the run before the backup and before any write.
#include <gtest/gtest.h>

#include <QDir>

#include "cli/sample_pair.h"
#include "engine/catalogue.h"
#include "jet/check/structure_check.h"
#include "jet/database_impl.h"
#include "jet/io/file.h"
#include "support/engine_test_support.h"

namespace qar::test {
namespace {

constexpr jet::SortOrder kChinese{2052, 0};

QStringList allTables() {
  QStringList names;
  for (const CatalogueEntry& entry : TableCatalogue) names << QString::fromLatin1(entry.name);
  return names;
}

jet::StructureReport check(const std::string& path) {
  auto db = jet::openDatabaseImpl(jet::openFile(path, jet::FileAccess::ReadOnly), path, jet::OpenMode::ReadOnly);
  return jet::checkStructure(*db);
}

// The same pair converted into a General and a Chinese (PRC) destination: the searches land
// on the same records (keys differing only in letter case included), so the two runs count
// alike and leave the same rows; the Chinese destination's indexes are exact.
TEST(SortOrderRun, AsciiKeysConvertAllEighteenTables) {
  QTemporaryDir dir;
  std::vector<RunOutcome> outcomes;
  std::vector<std::string> destinations;
  for (jet::SortOrder order : {jet::SortOrder{1033, 0}, kChinese}) {
    const cli::SamplePair pair =
        cli::makeSamplePair(dir.filePath(QString::number(order.id)).toStdString(), order);
    {
      auto db = jet::Database::open(pair.destination);
      const jet::TableDef& def = db->table("DepartmentData").def();
      ASSERT_EQ(def.columns[0].sortOrder, order);
      ASSERT_FALSE(def.indexes.empty()) << "the sample destination lost its keys";
    }
    RecordingObserver observer;
    outcomes.push_back(
        convert(QString::fromStdString(pair.source), QString::fromStdString(pair.destination), allTables(), observer));
    ASSERT_EQ(outcomes.back().status, RunStatus::Completed) << outcomes.back().errorDetails.toStdString();
    EXPECT_EQ(observer.tablesDone.size(), 18);
    destinations.push_back(pair.destination);
  }
  ASSERT_EQ(outcomes[0].tables.size(), outcomes[1].tables.size());
  for (size_t i = 0; i < outcomes[0].tables.size(); ++i) {
    const TableSummary& general = outcomes[0].tables[i];
    const TableSummary& chinese = outcomes[1].tables[i];
    SCOPED_TRACE(general.name.toStdString());
    EXPECT_EQ(chinese.recordsUpdated, general.recordsUpdated);
    EXPECT_EQ(chinese.recordsAppended, general.recordsAppended);
    EXPECT_EQ(chinese.recordsRemoved, general.recordsRemoved);
    EXPECT_EQ(readRows(QString::fromStdString(destinations[1]), general.name),
              readRows(QString::fromStdString(destinations[0]), general.name));
  }
  const jet::StructureReport report = check(destinations[1]);
  EXPECT_TRUE(report.ok()) << (report.defects.empty() ? "" : report.defects[0]);
  EXPECT_EQ(report.unverifiedEntries, 0u);
}

TEST(SortOrderRun, AnIdeographInAMergeKeyIsRefusedBeforeAnythingIsWritten) {
  QTemporaryDir dir;
  const cli::SamplePair pair = cli::makeSamplePair(dir.filePath("pair").toStdString(), kChinese);
  uint32_t records = 0;
  {
    auto db = jet::Database::open(pair.source, jet::OpenMode::ReadWrite);
    jet::Table departments = db->table("DepartmentData");
    jet::Row row{std::string("D部门"), std::string("Sales"), jet::Null{}, std::string("new")};
    departments.insert(row);
    records = departments.rowCount();
    db->close();
  }
  const QString destination = QString::fromStdString(pair.destination);
  const QByteArray before = fileBytes(destination);
  RecordingObserver observer;
  const RunOutcome outcome = convert(QString::fromStdString(pair.source), destination, allTables(), observer);
  ASSERT_EQ(outcome.status, RunStatus::Failed);
  EXPECT_EQ(outcome.failure, RunFailure::DestinationConnect);
  ASSERT_EQ(observer.boxes.size(), 1u);
  EXPECT_EQ(observer.boxes[0].text, QStringLiteral("Destination Database Connect failure!"));
  const QString details = observer.boxes[0].details;
  for (const QString& part : {QStringLiteral("Table DepartmentData, record %1, column DepartmentID").arg(records),
                              QStringLiteral("U+90E8 '部'"), QStringLiteral("\"D部门\"")}) {
    EXPECT_TRUE(details.contains(part)) << details.toStdString() << "\nlacks: " << part.toStdString();
  }
  EXPECT_TRUE(observer.tablesStarted.isEmpty());
  EXPECT_TRUE(outcome.backupPath.isEmpty());
  EXPECT_EQ(fileBytes(destination), before);
  EXPECT_TRUE(QDir(dir.filePath("pair")).entryList({"*backup*"}, QDir::Files).isEmpty());
}

// A destination index in an order with nothing proven (Korean) takes no write: the run says
// so up front instead of failing at the table's first record.
TEST(SortOrderRun, AnIndexInAnUnprovenOrderIsRefusedUpFront) {
  QTemporaryDir dir;
  auto blueprint = [](jet::SortOrder order) {
    jet::TableSpec t{"IOData", {{"IONo", jet::ColumnKind::Long}, {"IOName", jet::ColumnKind::Text, 30}},
                     {{"ByName", {"IOName"}}}};
    t.columns[1].sortOrder = order;
    return t;
  };
  const QString source = dir.filePath("source.mdb");
  const QString destination = dir.filePath("destination.mdb");
  QAR_BUILD_OR_SKIP(source, TableData{blueprint({1033, 0}), {{int32_t(1), std::string("a")}}});
  QAR_BUILD_OR_SKIP(destination, TableData{blueprint({1042, 0}), {}});
  const QByteArray before = fileBytes(destination);
  RecordingObserver observer;
  const RunOutcome outcome = convert(source, destination, {QStringLiteral("IOData")}, observer);
  EXPECT_EQ(outcome.failure, RunFailure::DestinationConnect);
  ASSERT_EQ(observer.boxes.size(), 1u);
  EXPECT_TRUE(observer.boxes[0].details.contains(QStringLiteral("index ByName of table IOData")))
      << observer.boxes[0].details.toStdString();
  EXPECT_TRUE(observer.boxes[0].details.contains(QStringLiteral("(1042, version 0)")));
  EXPECT_EQ(fileBytes(destination), before);
}

}  // namespace
}  // namespace qar::test
