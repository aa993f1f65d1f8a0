// The gauge's range and position: percentage arithmetic, the setters' clamps, the range
// errors with their exact messages, and the choices for a maximum of 0 and for sums that
// leave 32 bits.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "base/exception.h"
#include "gauge_testing.h"
#include "widgets/cgauges.h"

namespace {

using gauge_testing::ensureApplication;

class GaugeState : public ::testing::Test {
 protected:
  void SetUp() override { ensureApplication(); }
};

// The message the call raises, or "" when it raises nothing.
template <typename Call>
std::string errorOf(Call call) {
  try {
    call();
  } catch (const qar::Exception& e) {
    return e.message();
  }
  return "";
}

void expectState(const TCGauge& g, int min, int max, int progress) {
  EXPECT_EQ(g.MinValue(), min);
  EXPECT_EQ(g.MaxValue(), max);
  EXPECT_EQ(g.Progress(), progress);
}

TEST_F(GaugeState, FreshGaugeHasTheDefaults) {
  TCGauge g;
  expectState(g, 0, 100, 0);
  EXPECT_EQ(g.GetPercentDone(), 0);
  EXPECT_EQ(g.Kind(), gkHorizontalBar);
  EXPECT_TRUE(g.ShowText());
  EXPECT_EQ(g.BorderStyle(), bsSingle);
  EXPECT_EQ(g.ForeColor(), clBlack);
  EXPECT_EQ(g.BackColor(), clWhite);
  EXPECT_EQ(g.width(), 100);
  EXPECT_EQ(g.height(), 100);
  EXPECT_EQ(g.focusPolicy(), Qt::NoFocus);
  EXPECT_TRUE(g.testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST_F(GaugeState, PercentageIsRoundedDown) {
  TCGauge g;
  g.SetMaxValue(3);
  g.SetProgress(1);
  EXPECT_EQ(g.GetPercentDone(), 33);
  g.SetProgress(2);
  EXPECT_EQ(g.GetPercentDone(), 66);
  g.SetProgress(3);
  EXPECT_EQ(g.GetPercentDone(), 100);

  g.SetMaxValue(1000);
  g.SetProgress(999);
  EXPECT_EQ(g.GetPercentDone(), 99);
  g.SetProgress(1000);
  EXPECT_EQ(g.GetPercentDone(), 100);
}

TEST_F(GaugeState, PercentageOverNegativeAndWideRanges) {
  TCGauge g;
  g.SetMinValue(-300);
  g.SetMaxValue(-200);
  g.SetProgress(-251);
  EXPECT_EQ(g.GetPercentDone(), 49);

  // The full 32-bit range: the differences do not fit in 32 bits but the result is exact.
  g.SetMinValue(INT_MIN);
  g.SetMaxValue(INT_MAX);
  g.SetProgress(0);
  EXPECT_EQ(g.GetPercentDone(), 50);
  g.SetProgress(INT_MAX);
  EXPECT_EQ(g.GetPercentDone(), 100);
  g.SetProgress(INT_MAX - 1);
  EXPECT_EQ(g.GetPercentDone(), 99);
}

TEST_F(GaugeState, EmptyRangeReadsZero) {
  TCGauge g;
  g.SetMinValue(100);  // equal to the maximum: accepted
  expectState(g, 100, 100, 100);
  EXPECT_EQ(g.GetPercentDone(), 0);

  TCGauge h;
  h.SetMaxValue(0);  // the engine's empty table
  expectState(h, 0, 0, 0);
  EXPECT_EQ(h.GetPercentDone(), 0);
  h.SetProgress(5);
  EXPECT_EQ(h.Progress(), 0);
}

TEST_F(GaugeState, MinimumAboveMaximumIsRefused) {
  TCGauge g;
  g.SetProgress(40);
  EXPECT_EQ(errorOf([&] { g.SetMinValue(150); }), "Value must be between -2147483647 and 99");
  expectState(g, 0, 100, 40);

  g.SetMinValue(-50);
  g.SetMaxValue(-10);
  EXPECT_EQ(errorOf([&] { g.SetMinValue(0); }), "Value must be between -2147483647 and -11");
  expectState(g, -50, -10, -10);
}

TEST_F(GaugeState, MaximumBelowMinimumIsRefused) {
  TCGauge g;
  EXPECT_EQ(errorOf([&] { g.SetMaxValue(-1); }), "Value must be between 1 and 2147483647");
  expectState(g, 0, 100, 0);

  g.SetMinValue(20);
  g.SetProgress(30);
  EXPECT_EQ(errorOf([&] { g.SetMaxValue(19); }), "Value must be between 21 and 2147483647");
  expectState(g, 20, 100, 30);
  g.SetMaxValue(20);  // equal to the minimum: accepted
  expectState(g, 20, 20, 20);
}

TEST_F(GaugeState, MaximumOfZeroIsNeverRefused) {
  TCGauge g;
  g.SetMinValue(-5);
  g.SetProgress(3);
  g.SetMaxValue(0);
  expectState(g, -5, 0, 0);

  // Below a positive minimum the range collapses to 0..0.
  TCGauge h;
  h.SetMinValue(10);
  h.SetProgress(50);
  EXPECT_EQ(errorOf([&] { h.SetMaxValue(0); }), "");
  expectState(h, 0, 0, 0);
  EXPECT_EQ(h.GetPercentDone(), 0);
}

TEST_F(GaugeState, NewBoundsPullProgressAlong) {
  TCGauge g;
  g.SetMaxValue(1000);
  g.SetProgress(500);
  g.SetMaxValue(200);
  expectState(g, 0, 200, 200);
  EXPECT_EQ(g.GetPercentDone(), 100);

  g.SetProgress(50);
  g.SetMinValue(120);
  expectState(g, 120, 200, 120);
  // A wider range leaves the position where it is.
  g.SetMaxValue(5000);
  g.SetMinValue(-10);
  expectState(g, -10, 5000, 120);
}

TEST_F(GaugeState, ProgressIsClampedNeverRefused) {
  TCGauge g;
  g.SetMaxValue(10);
  g.SetProgress(-5);
  EXPECT_EQ(g.Progress(), 0);
  g.SetProgress(11);
  EXPECT_EQ(g.Progress(), 10);
  g.SetProgress(INT_MIN);
  EXPECT_EQ(g.Progress(), 0);
}

TEST_F(GaugeState, AddProgressHoldsAtTheLimits) {
  TCGauge g;
  g.SetMaxValue(INT_MAX);
  g.SetProgress(INT_MAX - 1);
  g.AddProgress(5);  // would wrap to a large negative number in 32 bits
  EXPECT_EQ(g.Progress(), INT_MAX);

  g.SetMinValue(INT_MIN);
  g.SetProgress(INT_MIN + 1);
  g.AddProgress(-5);
  EXPECT_EQ(g.Progress(), INT_MIN);

  g.SetProgress(0);
  g.AddProgress(7);
  g.AddProgress(-3);
  EXPECT_EQ(g.Progress(), 4);
}

TEST_F(GaugeState, StyleSettersStoreAndRefuseUnknownValues) {
  TCGauge g;
  g.SeTCGaugeKind(gkNeedle);
  g.SetShowText(false);
  g.SetBorderStyle(bsDialog);
  g.SetForeColor(clNavy);
  g.SetBackColor(clYellow);
  EXPECT_EQ(g.Kind(), gkNeedle);
  EXPECT_FALSE(g.ShowText());
  EXPECT_EQ(g.BorderStyle(), bsDialog);
  EXPECT_EQ(g.ForeColor(), clNavy);
  EXPECT_EQ(g.BackColor(), clYellow);

  EXPECT_EQ(errorOf([&] { g.SeTCGaugeKind(static_cast<TCGaugeKind>(5)); }),
            "Unknown gauge kind 5");
  EXPECT_EQ(errorOf([&] { g.SetBorderStyle(static_cast<TFormBorderStyle>(6)); }),
            "Unknown border style 6");
  EXPECT_EQ(g.Kind(), gkNeedle);
  EXPECT_EQ(g.BorderStyle(), bsDialog);
}

TEST_F(GaugeState, ColorFollowsTheParentUntilSet) {
  QWidget parent;
  QPalette palette = parent.palette();
  palette.setColor(parent.backgroundRole(), QColor(0x12, 0x34, 0x56));
  parent.setPalette(palette);
  TCGauge g(&parent);
  EXPECT_TRUE(g.ParentColor());
  EXPECT_EQ(g.Color(), TColor{0x563412});
  g.SetColor(clTeal);
  EXPECT_FALSE(g.ParentColor());
  EXPECT_EQ(g.Color(), clTeal);
  g.SetParentColor(true);
  EXPECT_EQ(g.Color(), TColor{0x563412});

  TCGauge orphan;
  EXPECT_EQ(orphan.Color(), clBtnFace);
}

}  // namespace
