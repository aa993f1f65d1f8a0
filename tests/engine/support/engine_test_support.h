// Helpers the engine's tests share: databases built with the storage engine (or skipped,
// naming the missing piece, while it cannot build them), fixture copies, rows read back, a
// run driven headless, and an observer that records what a run reports.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/run_observer.h"
#include "engine/run_options.h"
#include "engine/run_outcome.h"
#include "jet/database.h"

namespace qar::test {

struct TableData {
  jet::TableSpec blueprint;
  std::vector<jet::Row> rows;
};

// Builds a new Jet 4 database at path holding the given tables and rows. Returns an empty
// string on success, or why the storage engine cannot build it yet (then the test skips).
std::string buildDatabase(const QString& path, const std::vector<TableData>& tables);

#define QAR_BUILD_OR_SKIP(path, ...)                                                      \
  do {                                                                                    \
    const std::string why_ =                                                              \
        ::qar::test::buildDatabase((path), std::vector<::qar::test::TableData>{__VA_ARGS__}); \
    if (!why_.empty()) GTEST_SKIP() << "the storage engine cannot build test databases yet: " << why_; \
  } while (0)

// Copies fixture folder/<name> (e.g. "qar26m/basic") into dir; returns false when the shared
// fixtures are absent.
bool copyFixture(const QString& folder, const QString& dir);
QString fixturesDir();

// Every row of table, in scan order, read straight from the file.
std::vector<jet::Row> readRows(const QString& path, const QString& table);
QByteArray fileBytes(const QString& path);
void writeBytes(const QString& path, const QByteArray& bytes);

// A test with a temporary folder for a source.mdb / destination.mdb pair.
class PairFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    source_ = dir_.filePath("source.mdb");
    destination_ = dir_.filePath("destination.mdb");
  }
  // Copies of the basic QAR26M pair, or false when the shared fixtures are absent.
  bool basicPair() { return copyFixture("qar26m/basic", dir_.path()); }

  QTemporaryDir dir_;
  QString source_;
  QString destination_;
};

// Text column helper: a jet text value.
inline jet::Value text(const char* utf8) { return jet::Value(std::string(utf8)); }
inline jet::Value longValue(int32_t v) { return jet::Value(v); }
inline jet::Value null() { return jet::Value(jet::Null{}); }

// Records every call a run makes; answers error boxes at once.
class RecordingObserver : public RunObserver {
 public:
  struct Box {
    QString text;
    QString details;
  };
  void tableStarted(int slot, const QString& table, int sourceRecords) override;
  void recordLoopStarted(int recordCount) override;
  void pumpMessages() override;
  void recordStarted(int r) override;
  void tableDone(int slot, const TableSummary& summary) override;
  void errorBox(const QString& text, const QString& details) override;

  QStringList tablesStarted;
  QStringList tablesDone;
  std::vector<Box> boxes;
  int pumps = 0;
  int records = 0;
  // Called with (current table, r) at every recordStarted; may set CopyCancelled.
  std::function<void(const QString&, int)> onRecord;

 private:
  QString current_;
};

// Fills the selection with names (in the order given), clears the cancel flag, sets the
// search options, and runs a conversion headless.
RunOutcome convert(const QString& source, const QString& destination, const QStringList& names,
                   RecordingObserver& observer, RunOptions options = {});

}  // namespace qar::test
