// Application object and fixture copies for the main-window tests (see app_support.h).
#include "app_support.h"

#include <QDir>
#include <QFile>

#include "app/application.h"

namespace qar::test {

void ensureApplication() {
  if (QApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "app_test";
  static char* argv[] = {name, nullptr};
  // Lives until the process ends; widgets of every test are gone by then.
  static auto* application = new qar::app::Application(argc, argv);
  qar::app::setApplicationTitle();
  qar::app::applyClassicLook();
  (void)application;
}

QString fixturePairDir(const QString& pair) {
  const QString dir = QStringLiteral(QAR_FIXTURES_DIR "/qar26m/") + pair;
  if (!QFile::exists(dir + QStringLiteral("/source.mdb")) ||
      !QFile::exists(dir + QStringLiteral("/destination.mdb"))) {
    return {};
  }
  return dir;
}

bool copyFixturePair(const QString& pair, const QTemporaryDir& dir, QString& source,
                     QString& destination) {
  const QString from = fixturePairDir(pair);
  if (from.isEmpty() || !dir.isValid()) return false;
  source = dir.filePath(QStringLiteral("source.mdb"));
  destination = dir.filePath(QStringLiteral("destination.mdb"));
  QFile::remove(source);
  QFile::remove(destination);
  if (!QFile::copy(from + QStringLiteral("/source.mdb"), source) ||
      !QFile::copy(from + QStringLiteral("/destination.mdb"), destination)) {
    return false;
  }
  // Copies of read-only fixtures stay read-only; the destination must be writable.
  QFile::setPermissions(destination, QFile::permissions(destination) | QFile::WriteOwner);
  return true;
}

}  // namespace qar::test
