// Shared helpers of the engine's tests (see engine_test_support.h).
#include "engine_test_support.h"

#include <QDir>
#include <QFile>

#include "engine/copy_run.h"
#include "engine/selection.h"

namespace qar::test {

std::string buildDatabase(const QString& path, const std::vector<TableData>& tables) {
  try {
    auto db = jet::Database::create(path.toStdString());
    for (const TableData& t : tables) {
      jet::Table table = db->createTable(t.blueprint);
      for (jet::Row row : t.rows) table.insert(row);
    }
    db->close();
    return {};
  } catch (const jet::Error& e) {
    QFile::remove(path);
    if (e.kind() == jet::ErrorKind::Unsupported) return e.what();
    throw;
  }
}

QString fixturesDir() { return QStringLiteral(QAR_FIXTURES_DIR); }

bool copyFixture(const QString& folder, const QString& dir) {
  const QDir source(fixturesDir() + QLatin1Char('/') + folder);
  if (!source.exists()) return false;
  for (const QString& name : source.entryList(QDir::Files)) {
    const QString target = dir + QLatin1Char('/') + name;
    if (!QFile::copy(source.filePath(name), target)) return false;
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
  }
  return true;
}

std::vector<jet::Row> readRows(const QString& path, const QString& table) {
  auto db = jet::Database::open(path.toStdString(), jet::OpenMode::ReadOnly);
  std::vector<jet::Row> rows;
  jet::RowCursor cursor = db->table(table.toStdString()).scan();
  while (cursor.next()) rows.push_back(cursor.values());
  return rows;
}

QByteArray fileBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(f.write(bytes), bytes.size());
}

void RecordingObserver::tableStarted(int, const QString& table, int) {
  current_ = table;
  tablesStarted << table;
}
void RecordingObserver::recordLoopStarted(int) {}
void RecordingObserver::pumpMessages() { ++pumps; }
void RecordingObserver::recordStarted(int r) {
  ++records;
  if (onRecord) onRecord(current_, r);
}
void RecordingObserver::tableDone(int, const TableSummary& summary) { tablesDone << summary.name; }
void RecordingObserver::errorBox(const QString& text, const QString& details) {
  boxes.push_back({text, details});
}

RunOutcome convert(const QString& source, const QString& destination, const QStringList& names,
                   RecordingObserver& observer, RunOptions options) {
  clearSelection();
  for (const QString& name : names) addSelectedTable(name);
  CopyCancelled = false;
  resetSearchOptions();
  CopyRun run(observer, options);
  RunOutcome outcome = run.run(source, destination);
  run.release();
  return outcome;
}

}  // namespace qar::test
