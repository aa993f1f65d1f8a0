// The destination's safety copy: before a run writes its first table, the destination file
// is copied beside itself as "<name>-backup-YYYYMMDD-HHMMSS.mdb", so a run that fails midway
// loses nothing. An existing file is never overwritten (a counter is added instead).
#pragma once

#include <QDateTime>
#include <QString>

namespace qar {

// The backup name for path at the given moment: same folder, base name + "-backup-" +
// date and time + the original suffix (".mdb" when the file has none).
QString backupFileName(const QString& path, const QDateTime& when);

// Copies path to a fresh backup beside it and returns the backup's path. Raises
// qar::Exception saying why when the file cannot be read or the copy cannot be written
// completely; a partial copy is removed.
QString makeDestinationBackup(const QString& path, const QDateTime& when = QDateTime::currentDateTime());

}  // namespace qar
