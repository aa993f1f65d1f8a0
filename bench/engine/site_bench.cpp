// Site benchmark: builds a pair shaped like a site's database (site_pair.h) at each scale
// asked for, converts all eighteen tables with the engine's run (as the window and the
// headless command do), each conversion in a fresh process so its peak memory is its own,
// and prints records/s and MB/s per strategy and in total, wall and CPU time, peak memory,
// the time of copying both files, and how the time grows with the scale.
// Usage: engine_site_bench [--keep=FOLDER] [--runs=N] [SCALE...]   (default: 1 10, 3 runs)
// engine_site_bench --convert FOLDER converts FOLDER/source.mdb into FOLDER/destination.mdb
// and prints its figures as lines for the parent (the form used for profiling one run): a
// line per table, then "run WALL CPU PEAK_MB READ_AHEAD".
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "data/connection.h"
#include "engine/catalogue.h"
#include "engine/copy_run.h"
#include "engine/selection.h"
#include "qar_pair.h"
#include "site_pair.h"

namespace {

using namespace qar;

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The process's peak resident memory in MB (VmHWM).
double peakMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

// The child: one conversion of folder, figures on stdout ("table NAME STRATEGY READ SECONDS",
// then "run WALL CPU PEAK_MB READ_AHEAD").
int convertOnce(const QString& folder) {
  clearSelection();
  for (const CatalogueEntry& e : TableCatalogue) addSelectedTable(e.name);
  CopyCancelled = false;
  resetSearchOptions();
  bench::SilentObserver observer;
  const double cpuBefore = cpuSeconds();
  QElapsedTimer clock;
  clock.start();
  CopyRun run(observer, RunOptions{false});
  const RunOutcome outcome = run.run(folder + "/source.mdb", folder + "/destination.mdb");
  const int readAhead = run.adcFrom().readAheadTaken();
  run.release();
  const double wall = double(clock.nsecsElapsed()) / 1e9;
  if (!outcome.completed()) {
    std::fprintf(stderr, "the conversion failed: %s\n", qPrintable(outcome.errorDetails));
    return 1;
  }
  for (const TableSummary& t : outcome.tables)
    std::printf("table %s %d %d %.6f\n", qPrintable(t.name), int(t.strategy), t.recordsRead, t.seconds);
  std::printf("run %.6f %.6f %.1f %d\n", wall, cpuSeconds() - cpuBefore, peakMegabytes(), readAhead);
  return 0;
}

struct RunFigures {
  double wall = -1, cpu = 0, peak = 0;
  int readAhead = 0;  // source tables read ahead while the one before was carried over
  std::map<QString, double> tableSeconds;
};

RunFigures convertInChild(const QString& program, const QString& folder) {
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.start(program, {"--convert", folder});
  RunFigures f;
  if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
    return f;
  for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
    const QList<QByteArray> w = line.split(' ');
    if (w.size() == 5 && w[0] == "table") f.tableSeconds[QString::fromUtf8(w[1])] = w[4].toDouble();
    if (w.size() == 5 && w[0] == "run") {
      f.wall = w[1].toDouble();
      f.cpu = w[2].toDouble();
      f.peak = w[3].toDouble();
      f.readAhead = w[4].toInt();
    }
  }
  return f;
}

double copySeconds(const QString& from, const QString& to) {
  QElapsedTimer clock;
  clock.start();
  bench::copyPair(from, to);
  return double(clock.nsecsElapsed()) / 1e9;
}

double fileMegabytes(const QString& folder) {
  return double(QFileInfo(folder + "/source.mdb").size() + QFileInfo(folder + "/destination.mdb").size()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc == 3 && std::string(argv[1]) == "--convert") return convertOnce(QString::fromLocal8Bit(argv[2]));
  std::vector<double> scales;
  QString keep;
  int runs = 3;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (arg.startsWith("--keep="))
      keep = arg.mid(7);
    else if (arg.startsWith("--runs="))
      runs = std::max(1, arg.mid(7).toInt());
    else if (bool ok = false; arg.toDouble(&ok) > 0 && ok)
      scales.push_back(arg.toDouble());
    else {
      std::fprintf(stderr,
                   "usage: engine_site_bench [--keep=FOLDER] [--runs=N] [SCALE...]   (SCALE > 0; default 1 10)\n"
                   "       engine_site_bench --convert FOLDER\n");
      return arg == "--help" ? 0 : 2;
    }
  }
  if (scales.empty()) scales = {1.0, 10.0};

  QTemporaryDir temporary;
  if (!temporary.isValid()) return 1;
  if (!keep.isEmpty()) QDir().mkpath(keep);
  const QDir dir(keep.isEmpty() ? temporary.path() : keep);
  const QString program = QCoreApplication::applicationFilePath();
  std::map<double, std::pair<double, double>> timeByScale;  // wall and CPU seconds of the median run
  for (double scale : scales) {
    const QString pristine = dir.filePath(QString("site-%1").arg(scale));
    QDir().mkpath(pristine);
    QElapsedTimer build;
    build.start();
    std::map<QString, bench::SiteTableFigures> made;
    try {
      made = bench::makeSitePair(pristine, bench::SiteShape::scaled(scale));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "cannot build the site pair: %s\n", e.what());
      return 1;
    }
    long records = 0;
    double payload = 0;
    for (const auto& [table, f] : made) records += f.records, payload += f.payloadBytes;
    const double megabytes = fileMegabytes(pristine);
    std::printf("== scale %g: %ld source records, %.1f MB of values, files %.1f MB (pair built in %.1f s)\n", scale,
                records, payload / 1e6, megabytes, double(build.nsecsElapsed()) / 1e9);
    std::fflush(stdout);

    // The median run by wall time; copying the pair is timed before each.
    std::vector<std::pair<RunFigures, double>> done;
    const QString work = dir.filePath("run");
    for (int r = 0; r < runs; ++r) {
      const double copy = copySeconds(pristine, work);
      RunFigures f = convertInChild(program, work);
      if (f.wall < 0) return 1;
      std::printf("  run %d: %.3f s wall, %.3f s CPU, %.1f MB peak, %d source tables read ahead\n", r + 1, f.wall,
                  f.cpu, f.peak, f.readAhead);
      done.push_back({f, copy});
    }
    std::sort(done.begin(), done.end(), [](const auto& a, const auto& b) { return a.first.wall < b.first.wall; });
    const auto& [median, copy] = done[done.size() / 2];
    struct Sum {
      long records = 0;
      double bytes = 0, seconds = 0;
    };
    std::map<int, Sum> byStrategy;
    for (const auto& [table, f] : made) {
      Sum& s = byStrategy[int(strategyFor(table))];
      s.records += f.records;
      s.bytes += f.payloadBytes;
      const auto t = median.tableSeconds.find(table);
      if (t != median.tableSeconds.end()) s.seconds += t->second;
    }
    for (const auto& [strategy, s] : byStrategy)
      std::printf("  %-18s %8ld records %7.3f s %10.0f records/s %7.1f MB/s\n",
                  qPrintable(strategyName(TransferStrategy(strategy))), s.records, s.seconds,
                  s.seconds > 0 ? double(s.records) / s.seconds : 0.0, s.seconds > 0 ? s.bytes / 1e6 / s.seconds : 0.0);
    std::printf("  %-18s %8ld records %7.3f s %10.0f records/s %7.1f MB/s of values, %.1f MB/s of files (wall)\n",
                "total", records, median.wall, double(records) / median.wall, payload / 1e6 / median.wall,
                megabytes / median.wall);
    std::printf("  CPU %.3f s, peak memory %.1f MB; copying both files %.3f s (the conversion takes %.1f times that)\n",
                median.cpu, median.peak, copy, median.wall / copy);
    for (const auto& [table, seconds] : median.tableSeconds)
      if (seconds >= 0.05 * median.wall) std::printf("    %-18s %7.3f s\n", qPrintable(table), seconds);
    std::fflush(stdout);
    timeByScale[scale] = {median.wall, median.cpu};
  }
  if (timeByScale.size() >= 2) {
    // The CPU ratio is the steadier figure when other programs share the machine.
    const auto& small = *timeByScale.begin();
    const auto& large = *timeByScale.rbegin();
    std::printf("%g times the records took %.2f times the wall time, %.2f times the CPU time (aim: at most %.0f)\n",
                large.first / small.first, large.second.first / small.second.first,
                large.second.second / small.second.second, 1.2 * large.first / small.first);
  }
  return 0;
}
