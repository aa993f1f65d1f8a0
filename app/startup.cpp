// Start-up of QAR26M Database Convert: the application object, its title, the main window
// and the message loop. An exception escaping any of these is shown before the program ends.
#include <QIcon>

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

#include "app/application.h"
#include "app/errorbox.h"
#include "app/mainwindow.h"

namespace {

void reportFatal(bool haveApplication, const QString& message) {
  if (haveApplication) {
    qar::app::showException(nullptr, message);
  } else {
    std::fprintf(stderr, "%s: %s\n", qar::app::kApplicationTitle,
                 qar::app::withFullStop(message).toLocal8Bit().constData());
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before any window system is contacted, so it works without a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("qar26m-convert %s\n", QAR_VERSION);
    return 0;
  }
  std::unique_ptr<qar::app::Application> application;
  try {
    application = std::make_unique<qar::app::Application>(argc, argv);
    qar::app::setApplicationTitle();
    qar::app::applyClassicLook();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/qar26m-convert.xpm")));
    auto* frmMain = new qar::TfrmMain;
    frmMain->setAttribute(Qt::WA_DeleteOnClose);  // closing the main window ends the program
    frmMain->show();
    return application->exec();
  } catch (const qar::Exception& e) {
    reportFatal(application != nullptr, QString::fromStdString(e.message()));
  } catch (const std::exception& e) {
    reportFatal(application != nullptr, QString::fromLocal8Bit(e.what()));
  } catch (...) {
    reportFatal(application != nullptr, QString());
  }
  return 1;
}
