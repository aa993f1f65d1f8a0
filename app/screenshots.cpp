// qar26m-screenshots OUTPUT_DIR SOURCE DESTINATION: drives one conversion of every table
// through the main window's buttons and saves pictures of each window the operator meets:
// the main window, the progress window halfway through its largest table, and the closing
// message, with its details open. On an X server (scripts/screenshots runs one) each picture
// is taken from the screen, window frame included; elsewhere the window draws itself.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <cstdio>

#include "app/application.h"
#include "app/mainwindow.h"
#include "app/copyprogress.h"

namespace {

// The progress window at the moment it best shows a run under way: the table with the most
// records, as far into it as the window was seen.
struct ProgressPicture {
  QImage image;
  int tableRecords = -1;
  int at = -1;
};

// What the operator sees of window: from the screen with its frame when there is a real
// screen, else the window's own drawing.
QImage picture(QWidget* window) {
  QApplication::processEvents();
  if (QGuiApplication::platformName() == QLatin1String("xcb") && window->screen() != nullptr) {
    const QRect frame = window->frameGeometry();
    const QPixmap shot = window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(),
                                                      frame.height());
    if (!shot.isNull()) return shot.toImage();
  }
  return window->grab().toImage();
}

// Waits until the window manager has framed and shown window (at most 3 s).
void waitShown(QWidget* window) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 3000 &&
         (window->windowHandle() == nullptr || !window->windowHandle()->isExposed())) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  while (clock.elapsed() < 400) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool save(const QImage& image, const QDir& dir, const char* name) {
  const QString path = dir.filePath(QString::fromLatin1(name));
  if (image.isNull() || !image.save(path)) {
    std::fprintf(stderr, "qar26m-screenshots: could not write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  qar::app::Application application(argc, argv);
  qar::app::setApplicationTitle();
  qar::app::applyClassicLook();
  if (argc != 4) {
    std::fprintf(stderr, "usage: qar26m-screenshots OUTPUT_DIR SOURCE DESTINATION\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(out.path())) {
    std::fprintf(stderr, "qar26m-screenshots: cannot create %s\n", argv[1]);
    return 1;
  }

  qar::TfrmMain frmMain;
  frmMain.edtFrom->setText(QString::fromLocal8Bit(argv[2]));
  frmMain.edtTo->setText(QString::fromLocal8Bit(argv[3]));
  frmMain.show();
  waitShown(&frmMain);
  bool ok = save(picture(&frmMain), out, "main-window.png");

  ProgressPicture progress;
  QImage closing;
  QImage details;
  QTimer watcher;
  watcher.setInterval(0);
  frmMain.onProgressWindowCreated = [&](QWidget* window) {
    auto* frmCopy = qobject_cast<qar::TfrmCopy*>(window);
    if (frmCopy == nullptr) return;
    QObject::connect(&watcher, &QTimer::timeout, frmCopy, [&progress, frmCopy] {
      if (!frmCopy->running()) return;
      // The first turn lets the window manager frame the window before any picture; later
      // turns wait a little, so the window shows more of each table.
      static bool framed = false;
      QThread::msleep(framed ? 25 : 400);
      if (!framed) {
        framed = true;
        return;
      }
      const int records = frmCopy->labTotalRecord->text().toInt();
      const int at = frmCopy->labPosRecord->text().toInt();
      const bool under = at > 0 && at < records;
      if ((under && (records > progress.tableRecords ||
                     (records == progress.tableRecords && at > progress.at))) ||
          progress.image.isNull()) {
        progress.image = picture(frmCopy);
        progress.tableRecords = under ? records : -1;
        progress.at = at;
      }
    });
  };
  // Answers the message boxes: the closing message is pictured, error boxes just confirmed.
  QTimer answerer;
  answerer.setInterval(20);
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    if (box->windowTitle() == QStringLiteral("Message")) {
      waitShown(box);
      closing = picture(box);
      for (QAbstractButton* button : box->buttons()) {
        if (box->buttonRole(button) == QMessageBox::ActionRole) button->click();
      }
      QElapsedTimer clock;
      clock.start();
      while (clock.elapsed() < 500) QApplication::processEvents(QEventLoop::AllEvents, 20);
      details = picture(box);
    }
    std::fprintf(stderr, "%s: %s\n", qPrintable(box->windowTitle()), qPrintable(box->text()));
    if (QAbstractButton* button = box->button(QMessageBox::Ok)) button->click();
  });
  frmMain.btnSelectAll->click();
  watcher.start();
  answerer.start();
  frmMain.btnStartCopy->click();
  watcher.stop();
  answerer.stop();

  ok = save(progress.image, out, "progress-window.png") && ok;
  ok = save(closing, out, "closing-message.png") && ok;
  ok = save(details, out, "closing-message-details.png") && ok;
  return ok ? 0 : 1;
}
