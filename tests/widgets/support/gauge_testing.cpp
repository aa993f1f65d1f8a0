// The application object, the program's gauge set-up and the window exposure the gauge
// tests rely on.
#include "gauge_testing.h"

#include <QApplication>
#include <QColor>
#include <QThread>
#include <QWindow>

#include <cstdio>

#include "widgets/standinfont.h"

namespace gauge_testing {

void ensureApplication() {
  if (qApp != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "widgets_test";
  static char* argv[] = {name, nullptr};
  // Kept for the whole process: widgets of later tests need it.
  static QApplication* app = new QApplication(argc, argv);
  (void)app;
}

std::string describePixel(const QImage& image, int x, int y) {
  char text[48];
  std::snprintf(text, sizeof text, "(%d, %d) = #%06x", x, y, pixelAt(image, x, y));
  return text;
}

void setUpProgramGauge(TCGauge& gauge) {
  gauge.resize(425, 31);
  gauge.setFont(qar::classicDialogFont().font);
  gauge.SetForeColor(clNavy);
}

void saveForInspection(const QImage& image, const std::string& name) {
  image.save(QStringLiteral(QAR_BUILD_DIR "/gauge-test-%1.png").arg(QString::fromStdString(name)));
}

bool processEventsUntil(const std::function<bool()>& done) {
  for (int round = 0; round < 200; ++round) {
    QCoreApplication::processEvents();
    if (done()) return true;
    QThread::msleep(5);
  }
  return false;
}

bool showAndExpose(TCGauge& gauge) {
  gauge.show();
  const bool exposed = processEventsUntil([&gauge] {
    const QWindow* window = gauge.window()->windowHandle();
    return window != nullptr && window->isExposed();
  });
  QCoreApplication::processEvents();  // the first regular paint
  return exposed;
}

}  // namespace gauge_testing
