// Drop handling for the path fields.
#include "app/mdbdrop.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

namespace qar::app {

QString droppedMdbPath(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls()) return {};
  const QList<QUrl> urls = mime->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
  const QString path = urls.front().toLocalFile();
  if (!path.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive)) return {};
  return path;
}

bool MdbDropFilter::eventFilter(QObject* watched, QEvent* event) {
  auto* edit = qobject_cast<QLineEdit*>(watched);
  if (edit == nullptr) return false;
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (droppedMdbPath(drag->mimeData()).isEmpty()) return false;
      drag->setDropAction(Qt::CopyAction);
      drag->accept();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const QString path = droppedMdbPath(drop->mimeData());
      if (path.isEmpty()) return false;
      edit->setText(path);
      drop->setDropAction(Qt::CopyAction);
      drop->accept();
      return true;
    }
    default:
      return false;
  }
}

}  // namespace qar::app
