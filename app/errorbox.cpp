// The error box shown for exceptions that reach the top of a handler or of start-up.
#include "app/errorbox.h"

#include <QMessageBox>

namespace qar::app {

QString withFullStop(const QString& message) {
  if (message.isEmpty()) return message;
  // Compare whole code points, so a message ending in a non-Latin character gains one too.
  const QList<uint> codes = message.right(2).toUcs4();
  if (!codes.isEmpty() && codes.back() > uint('.')) return message + QLatin1Char('.');
  return message;
}

void showException(QWidget* parent, const QString& message) {
  QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kApplicationTitle),
                  withFullStop(message), QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("exceptionBox"));
  box.exec();
}

}  // namespace qar::app
