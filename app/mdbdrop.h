// Lets the operator drop an Access file from a file manager onto a path field: the field
// then holds the file's local path. Other drags are left to the field itself.
#pragma once

#include <QObject>
#include <QString>

class QMimeData;

namespace qar::app {

// The local path of the one .mdb file the drag carries, or an empty string when it carries
// anything else (several files, a folder name, a remote address, another suffix).
QString droppedMdbPath(const QMimeData* mime);

// Event filter for a QLineEdit: accepts drags of one .mdb file and puts its path there.
class MdbDropFilter : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace qar::app
