// qar26m-screenshots OUTPUT_DIR SOURCE DESTINATION: drives one conversion of every table
// through the main window's buttons and saves pictures of each window the operator meets:
// the main window, the progress window halfway through its largest table, and the closing
// message. Meant for the offscreen platform (scripts/screenshots); writes PNG files.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

#include "app/application.h"
#include "app/mainwindow.h"
#include "app/copyprogress.h"

namespace {

// The progress window at the moment it best shows a run under way: past the middle of the
// table with the most records seen so far.
struct ProgressPicture {
  QImage image;
  int tableRecords = -1;
};

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
  QApplication::processEvents();
  bool ok = save(frmMain.grab().toImage(), out, "main-window.png");

  ProgressPicture progress;
  QImage closing;
  QTimer watcher;
  watcher.setInterval(0);
  frmMain.onProgressWindowCreated = [&](QWidget* window) {
    auto* frmCopy = qobject_cast<qar::TfrmCopy*>(window);
    if (frmCopy == nullptr) return;
    QObject::connect(&watcher, &QTimer::timeout, frmCopy, [&progress, frmCopy] {
      if (!frmCopy->running()) return;
      const int records = frmCopy->labTotalRecord->text().toInt();
      const int at = frmCopy->labPosRecord->text().toInt();
      const bool halfway = records > 0 && at * 2 >= records;
      if ((halfway && records > progress.tableRecords) || progress.image.isNull()) {
        progress.image = frmCopy->grab().toImage();
        progress.tableRecords = halfway ? records : -1;
      }
    });
  };
  // Answers the message boxes: the closing message is pictured, error boxes just confirmed.
  QTimer answerer;
  answerer.setInterval(20);
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    if (box->windowTitle() == QStringLiteral("Message")) closing = box->grab().toImage();
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
  return ok ? 0 : 1;
}
