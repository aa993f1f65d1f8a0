// Conversion benchmark: builds a QAR26M-shaped pair (full size, then one tenth), converts it
// with `qar26m-cli convert --tables all`, and prints records per second per strategy and in
// total; then converts the same pair in-process headless and through the progress window
// (offscreen) to show what the per-record message pump and the gauges cost.
// Usage: engine_convert_bench [SCALE...]   (default: 1 0.1)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <map>

#include "engine/catalogue.h"
#include "engine/copy_run.h"
#include "engine/copyprogress.h"
#include "engine/selection.h"
#include "qar_pair.h"

namespace {

using namespace qar;

class SilentObserver : public RunObserver {
 public:
  void tableStarted(int, const QString&, int) override {}
  void recordLoopStarted(int) override {}
  void pumpMessages() override {}
  void recordStarted(int) override {}
  void tableDone(int, const TableSummary&) override {}
  void errorBox(const QString& text, const QString& details) override {
    std::fprintf(stderr, "error box: %s (%s)\n", qPrintable(text), qPrintable(details));
  }
};

void copyPair(const QString& from, const QString& to) {
  QDir().mkpath(to);
  for (const char* name : {"source.mdb", "destination.mdb"}) {
    QFile::remove(to + "/" + name);
    QFile::copy(from + "/" + name, to + "/" + name);
    QFile::setPermissions(to + "/" + name, QFile::ReadOwner | QFile::WriteOwner);
  }
}

void selectAll() {
  clearSelection();
  for (const CatalogueEntry& e : TableCatalogue) addSelectedTable(e.name);
  CopyCancelled = false;
  resetSearchOptions();
}

struct StrategyFigures {
  long records = 0;
  double seconds = 0;
};

// Runs qar26m-cli; returns wall seconds (negative on failure) and fills per-strategy figures
// from its summary lines "Name (strategy): N read, ..., S s".
double runCli(const QString& folder, std::map<QString, StrategyFigures>& figures, long& total) {
  QProcess process;
  QElapsedTimer clock;
  clock.start();
  process.start(QStringLiteral(QAR_BUILD_DIR "/qar26m-cli"),
                {"convert", folder + "/source.mdb", folder + "/destination.mdb", "--tables", "all", "--no-backup"});
  if (!process.waitForFinished(-1) || process.exitCode() != 0) {
    std::fprintf(stderr, "qar26m-cli failed (exit %d):\n%s\n", process.exitCode(),
                 process.readAllStandardError().constData());
    return -1;
  }
  const double wall = double(clock.nsecsElapsed()) / 1e9;
  static const QRegularExpression line(R"(^(\w+) \(([a-z ]+)\): (\d+) read.*, ([0-9.]+) s$)");
  for (const QString& text : QString::fromUtf8(process.readAllStandardOutput()).split('\n')) {
    const auto m = line.match(text);
    if (!m.hasMatch()) continue;
    StrategyFigures& f = figures[m.captured(2)];
    f.records += m.captured(3).toLong();
    f.seconds += m.captured(4).toDouble();
    total += m.captured(3).toLong();
  }
  return wall;
}

double runHeadless(const QString& folder) {
  selectAll();
  SilentObserver observer;
  QElapsedTimer clock;
  clock.start();
  CopyRun run(observer, RunOptions{false});
  const RunOutcome outcome = run.run(folder + "/source.mdb", folder + "/destination.mdb");
  run.release();
  return outcome.completed() ? double(clock.nsecsElapsed()) / 1e9 : -1;
}

double runWindow(const QString& folder) {
  selectAll();
  FixedPaths paths(folder + "/source.mdb", folder + "/destination.mdb");
  RunOptions options;
  options.makeBackup = false;
  QElapsedTimer clock;
  clock.start();
  TfrmCopy form(paths, nullptr, options);
  form.exec();
  return form.outcome().completed() ? double(clock.nsecsElapsed()) / 1e9 : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::vector<double> scales;
  for (int i = 1; i < argc; ++i) scales.push_back(std::atof(argv[i]));
  if (scales.empty()) scales = {1.0, 0.1};

  QTemporaryDir dir;
  if (!dir.isValid()) return 1;
  std::map<double, double> cliSeconds;
  for (double scale : scales) {
    const QString pristine = dir.filePath(QString("pristine-%1").arg(scale));
    QDir().mkpath(pristine);
    QElapsedTimer build;
    build.start();
    std::map<QString, int> counts;
    try {
      counts = bench::makeQarPair(pristine, bench::PairShape{}.scaled(scale));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "cannot build the benchmark pair: %s\n", e.what());
      return 1;
    }
    long sourceRecords = 0;
    for (const auto& [table, n] : counts) sourceRecords += n;
    std::printf("== scale %.2f: %ld source records in 18 tables (pair built in %.2f s)\n", scale, sourceRecords,
                double(build.nsecsElapsed()) / 1e9);

    std::map<QString, StrategyFigures> figures;
    long total = 0;
    copyPair(pristine, dir.filePath("cli"));
    const double wall = runCli(dir.filePath("cli"), figures, total);
    if (wall < 0) return 1;
    cliSeconds[scale] = wall;
    for (const auto& [strategy, f] : figures)
      std::printf("  %-20s %8ld records %8.3f s %10.0f records/s\n", qPrintable(strategy), f.records, f.seconds,
                  f.seconds > 0 ? double(f.records) / f.seconds : 0.0);
    std::printf("  %-20s %8ld records %8.3f s %10.0f records/s (qar26m-cli wall time)\n", "total", total, wall,
                double(total) / wall);

    copyPair(pristine, dir.filePath("headless"));
    const double headless = runHeadless(dir.filePath("headless"));
    copyPair(pristine, dir.filePath("window"));
    const double window = runWindow(dir.filePath("window"));
    if (headless > 0 && window > 0)
      std::printf("  in-process headless %.3f s, progress window %.3f s: pump and gauges cost %+.1f%%\n", headless,
                  window, (window / headless - 1) * 100);
  }
  if (cliSeconds.count(1.0) && cliSeconds.count(0.1))
    std::printf("ten times the records took %.2f times the time\n", cliSeconds[1.0] / cliSeconds[0.1]);
  return 0;
}
