// Converting the same pair again and again, as a site does daily: every run leaves the same
// records behind, so the destination must not keep growing. Ten runs stay within 15% of one.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

#include "cli/sample_pair.h"
#include "engine/catalogue.h"
#include "support/engine_test_support.h"

namespace qar::test {
namespace {

QStringList allTables() {
  QStringList names;
  for (const CatalogueEntry& e : TableCatalogue) names << e.name;
  return names;
}

// Converts source into destination ten times (removing each run's backup) and checks the
// size after the tenth against the size after the first, and the rows against the first run's.
void expectStableSize(const QString& source, const QString& destination) {
  std::vector<std::vector<jet::Row>> firstRows;
  qint64 first = 0;
  for (int run = 1; run <= 10; ++run) {
    RecordingObserver observer;
    RunOutcome outcome = convert(source, destination, allTables(), observer);
    ASSERT_TRUE(outcome.completed()) << "run " << run << ": " << outcome.errorDetails.toStdString();
    if (!outcome.backupPath.isEmpty()) QFile::remove(outcome.backupPath);
    const qint64 size = QFileInfo(destination).size();
    std::vector<std::vector<jet::Row>> rows;
    for (const QString& table : allTables()) rows.push_back(readRows(destination, table));
    if (run == 1) {
      first = size;
      firstRows = rows;
    } else {
      // Merged tables may hold their records in another order; the records are the same.
      for (size_t t = 0; t < rows.size(); ++t) EXPECT_EQ(rows[t].size(), firstRows[t].size()) << "run " << run;
    }
    std::printf("run %d: %lld bytes\n", run, static_cast<long long>(size));
    if (run == 10) {
      EXPECT_LE(size, first + first * 15 / 100) << "after one run " << first << " bytes";
    }
  }
}

TEST(RepeatedConversion, SamplePairStaysTheSameSize) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  cli::SamplePair pair;
  try {
    pair = cli::makeSamplePair(dir.filePath(QStringLiteral("pair")).toStdString());
  } catch (const std::exception& e) {
    GTEST_SKIP() << "the storage engine cannot build the sample pair: " << e.what();
  }
  expectStableSize(QString::fromStdString(pair.source), QString::fromStdString(pair.destination));
}

TEST(RepeatedConversion, AccessWrittenPairStaysTheSameSize) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  if (!copyFixture(QStringLiteral("qar26m/basic"), dir.path())) GTEST_SKIP() << "shared fixtures absent";
  expectStableSize(dir.filePath(QStringLiteral("source.mdb")), dir.filePath(QStringLiteral("destination.mdb")));
}

}  // namespace
}  // namespace qar::test
