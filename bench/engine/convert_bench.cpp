// Conversion benchmark: builds a QAR26M-shaped pair (full size, then one tenth), converts it
// with `qar26m-cli convert --tables all`, and prints records per second per strategy and in
// total; then converts the same pair in-process headless and through the progress window
// to show what the per-record message pump and the gauges cost (offscreen by default, on a
// real X server when run through scripts/with-x), and converts the same pair nine times more
// to print the destination's size after one run and after ten, and the time a compaction of
// the result takes.
// Usage: engine_convert_bench [--keep=FOLDER] [--access=2000|97|both] [SCALE...]   (default: 1 0.1)
// --keep leaves the pairs in FOLDER (pristine-SCALE/, cli/, ...) for profiling; --access
// builds the pairs as Access 2000 files (the default), Access 97 files, or both, one after
// the other, and then prints Access 97's figures against Access 2000's.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <map>

#include <sys/resource.h>

#include "engine/catalogue.h"
#include "engine/copy_run.h"
#include "app/copyprogress.h"
#include "engine/selection.h"
#include "jet/error.h"
#include "jet/compact/compactor.h"
#include "qar_pair.h"

using qar::bench::copyPair;
using qar::bench::SilentObserver;

namespace {

using namespace qar;

void selectAll() {
  clearSelection();
  for (const CatalogueEntry& e : TableCatalogue) addSelectedTable(e.name);
  CopyCancelled = false;
  resetSearchOptions();
}

// CPU seconds (user + system) used so far by this process, or by its finished children.
double cpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Timing {
  double wall = -1;  // negative when the run failed
  double cpu = 0;
};

struct StrategyFigures {
  long records = 0;
  double seconds = 0;
};

// Runs qar26m-cli; returns wall seconds (negative on failure) and fills per-strategy figures
// from its summary lines "Name (strategy): N read, ..., S s".
Timing runCli(const QString& folder, std::map<QString, StrategyFigures>& figures, long& total) {
  QProcess process;
  const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
  QElapsedTimer clock;
  clock.start();
  process.start(QStringLiteral(QAR_BUILD_DIR "/qar26m-cli"),
                {"convert", folder + "/source.mdb", folder + "/destination.mdb", "--tables", "all", "--no-backup"});
  if (!process.waitForFinished(-1) || process.exitCode() != 0) {
    std::fprintf(stderr, "qar26m-cli failed (exit %d):\n%s\n", process.exitCode(),
                 process.readAllStandardError().constData());
    return {};
  }
  const Timing timing{double(clock.nsecsElapsed()) / 1e9, cpuSeconds(RUSAGE_CHILDREN) - cpuBefore};
  static const QRegularExpression line(R"(^(\w+) \(([a-z ]+)\): (\d+) read.*, ([0-9.]+) s$)");
  for (const QString& text : QString::fromUtf8(process.readAllStandardOutput()).split('\n')) {
    const auto m = line.match(text);
    if (!m.hasMatch()) continue;
    StrategyFigures& f = figures[m.captured(2)];
    f.records += m.captured(3).toLong();
    f.seconds += m.captured(4).toDouble();
    total += m.captured(3).toLong();
  }
  return timing;
}

Timing runHeadless(const QString& folder) {
  selectAll();
  SilentObserver observer;
  const double cpuBefore = cpuSeconds(RUSAGE_SELF);
  QElapsedTimer clock;
  clock.start();
  CopyRun run(observer, RunOptions{false});
  const RunOutcome outcome = run.run(folder + "/source.mdb", folder + "/destination.mdb");
  run.release();
  if (!outcome.completed()) return {};
  return {double(clock.nsecsElapsed()) / 1e9, cpuSeconds(RUSAGE_SELF) - cpuBefore};
}

Timing runWindow(const QString& folder) {
  selectAll();
  FixedPaths paths(folder + "/source.mdb", folder + "/destination.mdb");
  RunOptions options;
  options.makeBackup = false;
  const double cpuBefore = cpuSeconds(RUSAGE_SELF);
  QElapsedTimer clock;
  clock.start();
  TfrmCopy form(paths, nullptr, options);
  form.exec();
  if (!form.outcome().completed()) return {};
  return {double(clock.nsecsElapsed()) / 1e9, cpuSeconds(RUSAGE_SELF) - cpuBefore};
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::vector<double> scales;
  QString keep;
  std::vector<jet::Format> formats{jet::Format::Jet4};
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (arg.startsWith("--keep=")) {
      keep = arg.mid(7);
    } else if (arg.startsWith("--access=")) {
      const QString which = arg.mid(9);
      if (which == "97") {
        formats = {jet::Format::Jet3};
      } else if (which == "both") {
        formats = {jet::Format::Jet4, jet::Format::Jet3};
      } else if (which != "2000") {
        std::fprintf(stderr, "--access takes 2000, 97 or both\n");
        return 2;
      }
    } else {
      scales.push_back(std::atof(argv[i]));
    }
  }
  if (scales.empty()) scales = {1.0, 0.1};

  QTemporaryDir temporary;
  if (!temporary.isValid()) return 1;
  if (!keep.isEmpty()) QDir().mkpath(keep);
  const QDir dir(keep.isEmpty() ? temporary.path() : keep);
  std::map<std::pair<jet::Format, double>, Timing> formatTimes;
  for (jet::Format format : formats) {
    const char* const formatName = format == jet::Format::Jet3 ? "Access 97" : "Access 2000";
    std::map<double, Timing> cliTimes;
    for (double scale : scales) {
      const QString pristine = dir.filePath(QString("pristine-%1").arg(scale));
      QDir().mkpath(pristine);
      QElapsedTimer build;
      build.start();
      std::map<QString, int> counts;
      bool indexes = true;
      try {
        counts = bench::makeQarPair(pristine, bench::PairShape{}.scaled(scale), true, format);
      } catch (const jet::Error& e) {
        if (e.kind() != jet::ErrorKind::Unsupported) {
          std::fprintf(stderr, "cannot build the benchmark pair: %s\n", e.what());
          return 1;
        }
        // The engine cannot keep indexes up to date yet: the same tables without them.
        std::printf("note: the pair is built without indexes (%s)\n", e.what());
        indexes = false;
        try {
          counts = bench::makeQarPair(pristine, bench::PairShape{}.scaled(scale), false, format);
        } catch (const std::exception& e2) {
          std::fprintf(stderr, "cannot build the benchmark pair: %s\n", e2.what());
          return 1;
        }
      } catch (const std::exception& e) {
        std::fprintf(stderr, "cannot build the benchmark pair: %s\n", e.what());
        return 1;
      }
      long sourceRecords = 0;
      for (const auto& [table, n] : counts) sourceRecords += n;
      std::printf("== scale %.2f, %s files: %ld source records in 18 tables%s (pair built in %.2f s)\n", scale,
                  formatName, sourceRecords, indexes ? " with their indexes" : "", double(build.nsecsElapsed()) / 1e9);

      std::map<QString, StrategyFigures> figures;
      long total = 0;
      copyPair(pristine, dir.filePath("cli"));
      const Timing cli = runCli(dir.filePath("cli"), figures, total);
      if (cli.wall < 0) return 1;
      cliTimes[scale] = cli;
      formatTimes[{format, scale}] = cli;
      for (const auto& [strategy, f] : figures)
        std::printf("  %-20s %8ld records %8.3f s %10.0f records/s\n", qPrintable(strategy), f.records, f.seconds,
                    f.seconds > 0 ? double(f.records) / f.seconds : 0.0);
      std::printf("  %-20s %8ld records %8.3f s %10.0f records/s (qar26m-cli wall time)\n", "total", total, cli.wall,
                  double(total) / cli.wall);
      std::printf("  %-20s %8ld records %8.3f s %10.0f records/s (qar26m-cli CPU time)\n", "total", total, cli.cpu,
                  double(total) / cli.cpu);

      copyPair(pristine, dir.filePath("headless"));
      const Timing headless = runHeadless(dir.filePath("headless"));
      const qint64 afterOne = QFileInfo(dir.filePath("headless/destination.mdb")).size();
      copyPair(pristine, dir.filePath("window"));
      const Timing window = runWindow(dir.filePath("window"));
      if (headless.wall > 0 && window.wall > 0) {
        std::printf("  in-process headless %.3f s wall / %.3f s CPU; progress window %.3f s wall / %.3f s CPU\n",
                    headless.wall, headless.cpu, window.wall, window.cpu);
        std::printf("  pump and gauges cost %+.1f%% wall, %+.1f%% CPU\n", (window.wall / headless.wall - 1) * 100,
                    (window.cpu / headless.cpu - 1) * 100);
      }
      // The same conversion again and again, as a site runs it daily: the destination's size.
      double repeatSeconds = 0;
      for (int run = 2; run <= 10; ++run) {
        const Timing again = runHeadless(dir.filePath("headless"));
        if (again.wall < 0) return 1;
        repeatSeconds += again.wall;
      }
      const qint64 afterTen = QFileInfo(dir.filePath("headless/destination.mdb")).size();
      std::printf("  destination: %lld bytes before, %lld after one run, %lld after ten (%.3f times one run; "
                  "runs 2-10 %.3f s each)\n",
                  static_cast<long long>(QFileInfo(pristine + "/destination.mdb").size()),
                  static_cast<long long>(afterOne), static_cast<long long>(afterTen),
                  afterOne > 0 ? double(afterTen) / double(afterOne) : 0.0, repeatSeconds / 9);
      // Compacting the result.
      const QString compacted = dir.filePath("headless/compacted.mdb");
      QFile::remove(compacted);
      QElapsedTimer compactClock;
      const double compactCpuStart = cpuSeconds(RUSAGE_SELF);
      compactClock.start();
      try {
        const jet::write::CompactionFigures f = jet::write::compactCopy(
            dir.filePath("headless/destination.mdb").toStdString(), compacted.toStdString());
        const double seconds = double(compactClock.nsecsElapsed()) / 1e9;
        const double cpu = cpuSeconds(RUSAGE_SELF) - compactCpuStart;
        std::printf("  compaction: %llu -> %llu bytes (%.3f times) in %.3f s, %.1f MB/s of input (copy and check "
                    "included); %.3f s CPU, %.1f MB/s of input per CPU second\n",
                    static_cast<unsigned long long>(f.bytesBefore), static_cast<unsigned long long>(f.bytesAfter),
                    f.bytesBefore ? double(f.bytesAfter) / double(f.bytesBefore) : 0.0, seconds,
                    double(f.bytesBefore) / 1e6 / seconds, cpu, double(f.bytesBefore) / 1e6 / cpu);
      } catch (const std::exception& e) {
        std::printf("  compaction failed: %s\n", e.what());
      }
    }
    if (cliTimes.size() >= 2) {
      const auto& small = *cliTimes.begin();
      const auto& large = *cliTimes.rbegin();
      std::printf("%.0f times the records took %.2f times the wall time, %.2f times the CPU time\n",
                  large.first / small.first, large.second.wall / small.second.wall,
                  large.second.cpu / small.second.cpu);
    }
  }
  if (formats.size() == 2) {
    for (double scale : scales) {
      const Timing& jet4 = formatTimes[{jet::Format::Jet4, scale}];
      const Timing& jet3 = formatTimes[{jet::Format::Jet3, scale}];
      std::printf("scale %.2f: Access 97 %.3f s wall / %.3f s CPU, Access 2000 %.3f s / %.3f s: %.2f times the wall "
                  "time, %.2f times the CPU time\n",
                  scale, jet3.wall, jet3.cpu, jet4.wall, jet4.cpu, jet3.wall / jet4.wall, jet3.cpu / jet4.cpu);
    }
  }
  return 0;
}
