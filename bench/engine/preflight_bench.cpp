// Pre-flight benchmark: what the run's checks of the destination cost against the whole
// conversion. Builds a QAR26M-shaped pair (as engine_convert_bench does), times the pre-flight
// alone on a fresh copy, then a whole headless conversion (pre-flight included) of another.
// Usage: engine_preflight_bench [SCALE...]   (default: 1 0.1)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

#include "data/connection.h"
#include "engine/catalogue.h"
#include "engine/copy_run.h"
#include "engine/preflight.h"
#include "engine/selection.h"
#include "qar_pair.h"

using qar::bench::copyPair;
using qar::bench::SilentObserver;

using namespace qar;

namespace {

double preflightSeconds(const QString& folder) {
  data::TADOConnection from, to;
  from.setMode(data::cmShareDenyNone);
  from.setConnectionString(folder + "/source.mdb");
  to.setConnectionString(folder + "/destination.mdb");
  from.setConnected(true);
  to.setConnected(true);
  PreflightTarget target{from, to, folder + "/destination.mdb", {}, {}};
  for (const CatalogueEntry& e : TableCatalogue) target.tables << e.name;
  QElapsedTimer clock;
  clock.start();
  const QString details = runPreflight(target);
  const double seconds = double(clock.nsecsElapsed()) / 1e9;
  if (!details.isEmpty()) std::fprintf(stderr, "pre-flight refused: %s\n", qPrintable(details));
  return seconds;
}

double conversionSeconds(const QString& folder) {
  clearSelection();
  for (const CatalogueEntry& e : TableCatalogue) addSelectedTable(e.name);
  CopyCancelled = false;
  resetSearchOptions();
  SilentObserver observer;
  QElapsedTimer clock;
  clock.start();
  CopyRun run(observer, RunOptions{false});
  const RunOutcome outcome = run.run(folder + "/source.mdb", folder + "/destination.mdb");
  run.release();
  return outcome.completed() ? double(clock.nsecsElapsed()) / 1e9 : -1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::vector<double> scales;
  for (int i = 1; i < argc; ++i) scales.push_back(std::atof(argv[i]));
  if (scales.empty()) scales = {1, 0.1};
  QTemporaryDir temporary;
  for (double scale : scales) {
    const QString pristine = temporary.path() + "/pristine";
    QDir(pristine).removeRecursively();
    QDir().mkpath(pristine);
    try {
      bench::makeQarPair(pristine, bench::PairShape{}.scaled(scale), true);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "cannot build the pair: %s\n", e.what());
      return 1;
    }
    copyPair(pristine, temporary.path() + "/check");
    copyPair(pristine, temporary.path() + "/run");
    const double check = preflightSeconds(temporary.path() + "/check");
    const double whole = conversionSeconds(temporary.path() + "/run");
    std::printf("scale %g: pre-flight %.3f s, whole conversion %.3f s (pre-flight included): %.1f%%\n", scale, check,
                whole, whole > 0 ? 100.0 * check / whole : 0.0);
  }
  return 0;
}
