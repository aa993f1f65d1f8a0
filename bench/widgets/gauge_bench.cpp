// bench-gauge: the cost of the progress gauge as the conversion drives it. Prints the time
// to build one picture of the program's 425 x 31 gauge, and the time and the number of
// paints of a sweep of 100,000 positions over a gauge that is on (the offscreen) screen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWindow>

#include <cstdint>

#include "widgets/cgauges.h"
#include "widgets/standinfont.h"

namespace {

class CountingGauge : public TCGauge {
 public:
  long paints = 0;

 protected:
  void Paint() override {
    ++paints;
    TCGauge::Paint();
  }
};

void setUpProgramGauge(TCGauge& gauge) {
  gauge.resize(425, 31);
  gauge.setFont(qar::classicDialogFont().font);
  gauge.SetForeColor(clNavy);
}

void BM_RenderProgramGauge(benchmark::State& state) {
  TCGauge gauge;
  setUpProgramGauge(gauge);
  gauge.SetProgress(50);
  for (auto _ : state) benchmark::DoNotOptimize(gauge.renderImage());
}
BENCHMARK(BM_RenderProgramGauge)->Unit(benchmark::kMicrosecond);

void BM_SweepOnScreen(benchmark::State& state) {
  const int steps = static_cast<int>(state.range(0));
  CountingGauge gauge;
  setUpProgramGauge(gauge);
  gauge.show();
  for (int i = 0; i < 200 && !(gauge.windowHandle() && gauge.windowHandle()->isExposed()); ++i) {
    QCoreApplication::processEvents();
  }
  QCoreApplication::processEvents();
  gauge.SetMaxValue(steps);
  long sweeps = 0;
  long sweepPaints = 0;
  for (auto _ : state) {
    gauge.SetProgress(0);  // back to the start: one paint, not counted
    const long before = gauge.paints;
    for (int r = 1; r <= steps; ++r) gauge.SetProgress(r);
    sweepPaints += gauge.paints - before;
    ++sweeps;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(steps) * sweeps);
  state.counters["paints_per_sweep"] = static_cast<double>(sweepPaints) / sweeps;
}
BENCHMARK(BM_SweepOnScreen)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
