// Exception guard around event delivery, and the application's identity.
#include "app/application.h"

#include <QStyleFactory>

#include "app/errorbox.h"

namespace qar::app {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
  bool handled = false;
  guarded(activeWindow(), [&] { handled = QApplication::notify(receiver, event); });
  return handled;
}

void setApplicationTitle() {
  QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  QApplication::setApplicationVersion(QStringLiteral(QAR_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("qar26m-convert"));
}

void applyClassicLook() {
  if (QStyleFactory::keys().contains(QStringLiteral("Windows"))) {
    QApplication::setStyle(QStringLiteral("Windows"));
  }
}

}  // namespace qar::app
