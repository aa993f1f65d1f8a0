// When the gauge repaints: only on a change of the whole percentage while the position
// moves, always after AddProgress, on every changing setter, never while hidden. Paints are
// counted on a gauge whose window is on the offscreen screen.
#include <gtest/gtest.h>

#include "gauge_testing.h"
#include "widgets/cgauges.h"

namespace {

using gauge_testing::CountingGauge;

class GaugeRepaint : public ::testing::Test {
 protected:
  // Before any fixture (and so its gauge) is constructed.
  static void SetUpTestSuite() { gauge_testing::ensureApplication(); }

  void SetUp() override {
    gauge_testing::setUpProgramGauge(gauge);
    ASSERT_TRUE(gauge_testing::showAndExpose(gauge)) << "the gauge's window was never exposed";
    gauge.paints = 0;
  }

  // Paints caused by the call.
  template <typename Call>
  int paintsOf(Call call) {
    const int before = gauge.paints;
    call();
    return gauge.paints - before;
  }

  CountingGauge gauge;
};

TEST_F(GaugeRepaint, LongSweepCostsAtMostOneHundredPaints) {
  gauge.SetMinValue(0);
  gauge.SetMaxValue(100000);
  gauge.paints = 0;
  for (int r = 1; r <= 100000; ++r) gauge.SetProgress(r);
  EXPECT_EQ(gauge.Progress(), 100000);
  EXPECT_EQ(gauge.paints, 100);  // 1 % to 100 %, one paint each
}

TEST_F(GaugeRepaint, OnlyAChangedPercentageRepaints) {
  gauge.SetMaxValue(1000);
  gauge.SetProgress(1);
  EXPECT_EQ(paintsOf([&] { gauge.SetProgress(2); }), 0);  // 0 % both
  EXPECT_EQ(gauge.Progress(), 2);
  gauge.SetProgress(9);
  EXPECT_EQ(paintsOf([&] { gauge.SetProgress(10); }), 1);  // 0 % to 1 %
  EXPECT_EQ(paintsOf([&] { gauge.SetProgress(10); }), 0);  // no move
  EXPECT_EQ(paintsOf([&] { gauge.SetProgress(5000); }), 1);  // clamped to 1000
  EXPECT_EQ(paintsOf([&] { gauge.SetProgress(5000); }), 0);
}

TEST_F(GaugeRepaint, BoundsRepaintWhenTheyChange) {
  gauge.SetMaxValue(1000);
  gauge.SetProgress(500);
  EXPECT_EQ(paintsOf([&] { gauge.SetMaxValue(200); }), 1);
  EXPECT_EQ(gauge.GetPercentDone(), 100);
  EXPECT_EQ(paintsOf([&] { gauge.SetMinValue(0); }), 0);  // the same minimum
  EXPECT_EQ(paintsOf([&] { gauge.SetMinValue(10); }), 1);
  EXPECT_EQ(paintsOf([&] { EXPECT_ANY_THROW(gauge.SetMinValue(201)); }), 0);
  EXPECT_EQ(paintsOf([&] { EXPECT_ANY_THROW(gauge.SetMaxValue(9)); }), 0);
}

TEST_F(GaugeRepaint, AddProgressAlwaysRepaints) {
  gauge.SetMaxValue(1000);
  EXPECT_EQ(paintsOf([&] { gauge.AddProgress(1); }), 1);  // still 0 %
  gauge.SetProgress(1000);
  EXPECT_EQ(paintsOf([&] { gauge.AddProgress(1); }), 1);  // nothing changes at all
  EXPECT_EQ(gauge.Progress(), 1000);
}

TEST_F(GaugeRepaint, StyleSettersRepaintOnlyOnChange) {
  EXPECT_EQ(paintsOf([&] { gauge.SeTCGaugeKind(gkHorizontalBar); }), 0);
  EXPECT_EQ(paintsOf([&] { gauge.SeTCGaugeKind(gkPie); }), 1);
  EXPECT_EQ(paintsOf([&] { gauge.SetShowText(true); }), 0);
  EXPECT_EQ(paintsOf([&] { gauge.SetShowText(false); }), 1);
  EXPECT_EQ(paintsOf([&] { gauge.SetBorderStyle(bsSingle); }), 0);
  EXPECT_EQ(paintsOf([&] { gauge.SetBorderStyle(bsNone); }), 1);
  EXPECT_EQ(paintsOf([&] { gauge.SetForeColor(clNavy); }), 0);
  EXPECT_EQ(paintsOf([&] { gauge.SetForeColor(clRed); }), 1);
  EXPECT_EQ(paintsOf([&] { gauge.SetBackColor(clWhite); }), 0);
  EXPECT_EQ(paintsOf([&] { gauge.SetBackColor(clSilver); }), 1);
}

TEST_F(GaugeRepaint, HiddenGaugeDrawsNothingUntilShown) {
  gauge.hide();
  gauge.SetMaxValue(10);
  gauge.SetProgress(5);
  gauge.AddProgress(1);
  gauge.SetForeColor(clRed);
  EXPECT_EQ(gauge.paints, 0);
  ASSERT_TRUE(gauge_testing::showAndExpose(gauge));
  // The regular paint on showing draws the state of that moment.
  EXPECT_TRUE(gauge_testing::processEventsUntil([this] { return gauge.paints >= 1; }));
  EXPECT_EQ(gauge.GetPercentDone(), 60);
}

TEST(GaugeBeforeShow, RepaintsBeforeTheWindowIsShownDrawNothing) {
  gauge_testing::ensureApplication();
  CountingGauge fresh;
  fresh.SetMaxValue(3);
  fresh.SetProgress(2);
  fresh.AddProgress(1);
  EXPECT_EQ(fresh.paints, 0);
}

}  // namespace
