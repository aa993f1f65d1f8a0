// Copying the destination beside itself before it is first written (see backup.h).
#include "engine/backup.h"

#include <QFile>
#include <QFileInfo>
#include <QDir>

#include "base/exception.h"

namespace qar {

QString backupFileName(const QString& path, const QDateTime& when) {
  const QFileInfo info(path);
  QString suffix = info.suffix();
  if (suffix.isEmpty()) suffix = QStringLiteral("mdb");
  const QString name = info.completeBaseName() + QStringLiteral("-backup-") +
                       when.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QLatin1Char('.') + suffix;
  // Beside the file, written the way the file's own path was (a bare name stays bare).
  if (!path.contains(QLatin1Char('/'))) return name;
  return QDir(info.path()).filePath(name);
}

static std::string describeFile(const QFile& file) {
  return file.fileName().toStdString() + ": " + file.errorString().toStdString();
}

QString makeDestinationBackup(const QString& path, const QDateTime& when) {
  QFile source(path);
  if (!source.open(QIODevice::ReadOnly))
    throw Exception("Cannot read the destination to back it up: " + describeFile(source));

  // Never overwrite: the first free name among name, name-2, name-3, ...
  const QString first = backupFileName(path, when);
  QFile target;
  for (int attempt = 1; attempt < 1000; ++attempt) {
    QString candidate = first;
    if (attempt > 1) {
      const QFileInfo info(first);
      const QString name = info.completeBaseName() + QStringLiteral("-%1.").arg(attempt) + info.suffix();
      candidate = first.contains(QLatin1Char('/')) ? QDir(info.path()).filePath(name) : name;
    }
    target.setFileName(candidate);
    if (target.open(QIODevice::WriteOnly | QIODevice::NewOnly)) break;
    if (target.exists()) continue;
    throw Exception("Cannot create the backup file: " + describeFile(target));
  }
  if (!target.isOpen())
    throw Exception("Cannot find a free backup file name beside " + path.toStdString());

  auto fail = [&](const std::string& why) -> Exception {
    target.close();
    target.remove();
    return Exception(why);
  };
  char buffer[1 << 16];
  qint64 copied = 0;
  for (;;) {
    const qint64 n = source.read(buffer, sizeof buffer);
    if (n < 0) throw fail("Cannot read the destination to back it up: " + describeFile(source));
    if (n == 0) break;
    if (target.write(buffer, n) != n)
      throw fail("Cannot write the backup file: " + describeFile(target));
    copied += n;
  }
  if (copied != source.size())
    throw fail("The destination changed size while it was backed up: " + path.toStdString());
  if (!target.flush()) throw fail("Cannot write the backup file: " + describeFile(target));
  target.close();
  if (target.error() != QFileDevice::NoError)
    throw fail("Cannot write the backup file: " + describeFile(target));
  return target.fileName();
}

}  // namespace qar
