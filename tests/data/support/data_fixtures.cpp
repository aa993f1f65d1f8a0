// Fixture copies, engine-made databases and hashes for the dataset layer's tests.
#include "data_fixtures.h"

#include "base/exception.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace qar::data::testing {

QString fixture(const QString& relative) {
  QString path = QStringLiteral(QAR_FIXTURES_DIR) + u'/' + relative;
  return QFileInfo::exists(path) ? path : QString();
}

QString copyFixture(const QString& relative, const QTemporaryDir& dir) {
  QString from = fixture(relative);
  if (from.isEmpty()) return QString();
  QString to = dir.filePath(QFileInfo(from).fileName());
  QFile::remove(to);
  if (!QFile::copy(from, to)) return QString();
  QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
  return to;
}

QByteArray fileHash(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray();
  QCryptographicHash h(QCryptographicHash::Sha256);
  h.addData(&f);
  return h.result();
}

namespace {

std::optional<std::string> probeWrite(bool indexed) {
  QTemporaryDir dir;
  try {
    auto db = jet::Database::create(dir.filePath(QStringLiteral("probe.mdb")).toStdString());
    jet::TableSpec blueprint{"Probe", {{"ID", jet::ColumnKind::Long}}, {}};
    if (indexed) blueprint.indexes.push_back({"PrimaryKey", {"ID"}, true, true});
    jet::Table t = db->createTable(blueprint);
    jet::Row row{int32_t{1}};
    t.insert(row);
    db->close();
  } catch (const jet::Error& e) {
    return std::string(e.what());
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> writerMissing() {
  static const std::optional<std::string> answer = probeWrite(false);
  return answer;
}

std::optional<std::string> indexWriterMissing() {
  static const std::optional<std::string> answer = probeWrite(true);
  return answer;
}

std::string messageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const qar::Exception& e) {
    return e.message();
  }
  return "(no error)";
}

QString createDatabase(const QTemporaryDir& dir, const QString& name, const jet::TableSpec& table,
                       const std::vector<jet::Row>& rows) {
  QString path = dir.filePath(name);
  auto db = jet::Database::create(path.toStdString());
  jet::Table t = db->createTable(table);
  for (jet::Row row : rows) t.insert(row);
  db->close();
  return path;
}

}  // namespace qar::data::testing
