// gauge-snapshots: renders the progress window's gauge (425 x 31, navy fill, framed, in the
// stand-in dialog font) at 0 %, 33 %, 50 % and 100 % and saves each as a PNG picture, by
// default into the build folder. Usage: gauge-snapshots [output-folder]
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QString>
#include <QTextStream>

#include <exception>

#include "widgets/cgauges.h"
#include "widgets/standinfont.h"

namespace {

constexpr int kGaugeWidth = 425;
constexpr int kGaugeHeight = 31;
constexpr int kPercentages[] = {0, 33, 50, 100};

int fail(const QString& message) {
  QTextStream(stderr) << "gauge-snapshots: " << message << '\n';
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // A picture needs no screen: without a chosen platform, draw off screen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  const QStringList args = QCoreApplication::arguments();
  if (args.size() > 2) return fail(QStringLiteral("usage: gauge-snapshots [output-folder]"));
  const QString folder = args.size() == 2 ? args.at(1) : QStringLiteral(QAR_BUILD_DIR);
  const QDir out(folder);
  if (!out.exists()) return fail(QStringLiteral("the folder %1 does not exist").arg(folder));

  const qar::StandInFont& standIn = qar::classicDialogFont();
  QTextStream(stdout) << "font: " << standIn.note << '\n';
  try {
    TCGauge gauge;
    gauge.resize(kGaugeWidth, kGaugeHeight);
    gauge.setFont(standIn.font);
    gauge.SetForeColor(clNavy);
    gauge.SetMinValue(0);
    gauge.SetMaxValue(100);
    for (int percent : kPercentages) {
      gauge.SetProgress(percent);
      const QString path = out.filePath(QStringLiteral("gauge-%1.png").arg(percent));
      if (!gauge.renderImage().save(path, "PNG")) {
        return fail(QStringLiteral("cannot write %1").arg(path));
      }
      QTextStream(stdout) << "wrote " << path << '\n';
    }
  } catch (const std::exception& e) {
    return fail(QString::fromUtf8(e.what()));
  }
  return 0;
}
