// The styles the program does not show but the gauge offers: the vertical bar, the pie and
// the needle dial, probed at a few pixels each at 0 %, 25 %, 50 %, 75 % and 100 %.
#include <gtest/gtest.h>

#include <QImage>

#include <string>

#include "gauge_testing.h"
#include "widgets/cgauges.h"

namespace {

using namespace gauge_testing;

constexpr QRgb kSilver = 0xC0C0C0;

class GaugeDial : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ensureApplication(); }

  // A framed gauge of the given style and size, navy on white, silver around the dial.
  void setUpStyle(TCGaugeKind kind, int width, int height) {
    gauge.resize(width, height);
    gauge.SeTCGaugeKind(kind);
    gauge.SetShowText(false);
    gauge.SetForeColor(clNavy);
    gauge.SetColor(clSilver);
  }

  QImage at(int percent) {
    gauge.SetProgress(percent);
    image = gauge.renderImage();
    return image;
  }

  // Expects the pixel's colour, saving the picture once when it differs.
  void expectPixel(int x, int y, QRgb colour, const std::string& what) {
    EXPECT_EQ(pixelAt(image, x, y), colour) << what << ": " << describePixel(image, x, y);
    if (pixelAt(image, x, y) != colour && !saved) {
      saveForInspection(image, ::testing::UnitTest::GetInstance()->current_test_info()->name());
      saved = true;
    }
  }

  TCGauge gauge;
  QImage image;
  bool saved = false;
};

TEST_F(GaugeDial, VerticalBarFillsRowsFromTheBottom) {
  setUpStyle(gkVerticalBar, 425, 31);
  // Inside rows 1..29 (h = 30): f = 30 * percent / 100 rows counted up from row 30, and at
  // 100 % one less, so the fill starts at row 30 - f.
  const struct {
    int percent;
    int firstFilledRow;  // 30: none
  } cases[] = {{0, 30}, {25, 23}, {50, 15}, {100, 1}};
  for (const auto& c : cases) {
    at(c.percent);
    const std::string what = std::to_string(c.percent) + " %";
    for (int x : {1, 212, 423}) {
      if (c.firstFilledRow > 1) expectPixel(x, c.firstFilledRow - 1, kWhite, what);
      if (c.firstFilledRow < 30) expectPixel(x, c.firstFilledRow, kNavy, what);
      expectPixel(x, 29, c.percent == 0 ? kWhite : kNavy, what);
      expectPixel(x, 30, kBlack, what + ", frame");
    }
    expectPixel(0, 15, kBlack, what + ", frame");
    expectPixel(424, 15, kBlack, what + ", frame");
  }
}

TEST_F(GaugeDial, PieSweepsClockwiseFromTwelveOClock) {
  setUpStyle(gkPie, 101, 101);
  // Probes a quarter of the way in from each corner of the ellipse, starting top right,
  // going clockwise.
  const int probes[4][2] = {{68, 32}, {68, 68}, {32, 68}, {32, 32}};
  const struct {
    int percent;
    int filledQuarters;
  } cases[] = {{0, 0}, {25, 1}, {50, 2}, {75, 3}, {100, 4}};
  for (const auto& c : cases) {
    at(c.percent);
    const std::string what = std::to_string(c.percent) + " %";
    for (int q = 0; q < 4; ++q) {
      expectPixel(probes[q][0], probes[q][1], q < c.filledQuarters ? kNavy : kWhite,
                  what + ", quarter " + std::to_string(q));
    }
    expectPixel(3, 3, kSilver, what + ", outside the ellipse");
    expectPixel(97, 97, kSilver, what + ", outside the ellipse");
    expectPixel(50, 1, kNavy, what + ", outline at the top");
    expectPixel(0, 0, kBlack, what + ", frame");
    expectPixel(100, 50, kBlack, what + ", frame");
  }
}

TEST_F(GaugeDial, PieTakesTheParentColourAroundIt) {
  QWidget parent;
  QPalette palette = parent.palette();
  palette.setColor(parent.backgroundRole(), QColor(0x20, 0x40, 0x60));
  parent.setPalette(palette);
  TCGauge child(&parent);
  child.SeTCGaugeKind(gkPie);
  child.SetShowText(false);
  const QImage pie = child.renderImage();
  EXPECT_EQ(pixelAt(pie, 3, 3), QRgb{0x204060});
}

TEST_F(GaugeDial, NeedleSwingsFromLeftOverTheTopToRight) {
  setUpStyle(gkNeedle, 101, 51);
  // R = (1, 1, 100, 50); the needle starts at (50, 49), half the gauge's width.
  at(0);
  expectPixel(50, 30, kWhite, "0 %, no needle");
  expectPixel(32, 32, kWhite, "0 %, no needle");
  expectPixel(3, 3, kSilver, "0 %, outside the dial");
  expectPixel(50, 1, kNavy, "0 %, outline at the top");
  // The base line runs one row below R, over the frame's bottom row.
  expectPixel(1, 50, kNavy, "0 %, base line");
  expectPixel(100, 50, kNavy, "0 %, base line");
  expectPixel(0, 50, kBlack, "0 %, frame");

  at(50);  // straight up to (50, 0), the end point left out
  for (int y = 5; y <= 48; ++y) expectPixel(50, y, kNavy, "50 %, needle");
  expectPixel(49, 30, kWhite, "50 %, beside the needle");
  expectPixel(50, 0, kBlack, "50 %, frame above the tip");

  at(25);  // up and left to (14, 14)
  expectPixel(50, 30, kWhite, "25 %");
  EXPECT_TRUE(pixelAt(image, 32, 31) == kNavy || pixelAt(image, 32, 32) == kNavy)
      << describePixel(image, 32, 31) << " " << describePixel(image, 32, 32);
  expectPixel(68, 31, kWhite, "25 %, mirror side");

  at(75);  // up and right to (85, 14)
  EXPECT_TRUE(pixelAt(image, 68, 31) == kNavy || pixelAt(image, 68, 32) == kNavy)
      << describePixel(image, 68, 31) << " " << describePixel(image, 68, 32);
  expectPixel(32, 31, kWhite, "75 %, mirror side");

  at(100);  // flat to the right along row 49
  for (int x = 50; x <= 99; ++x) expectPixel(x, 49, kNavy, "100 %, needle");
  expectPixel(50, 30, kWhite, "100 %");
  expectPixel(68, 31, kWhite, "100 %");
}

TEST_F(GaugeDial, TextOverADialInvertsIt) {
  setUpStyle(gkPie, 101, 101);
  gauge.SetShowText(true);
  gauge.SetProgress(50);
  const QImage withText = gauge.renderImage();
  gauge.SetShowText(false);
  const QImage plain = gauge.renderImage();
  int changed = 0;
  for (int y = 0; y < 101; ++y) {
    for (int x = 0; x < 101; ++x) {
      if (pixelAt(withText, x, y) == pixelAt(plain, x, y)) continue;
      ++changed;
      EXPECT_EQ(pixelAt(withText, x, y), inverted(pixelAt(plain, x, y))) << describePixel(withText, x, y);
    }
  }
  EXPECT_GT(changed, 20);
}

}  // namespace
