// The horizontal bar pixel by pixel: the frame, the filled columns, and the percentage text
// laid over by exclusive-or (inverted colours only, only inside the paint rectangle), for
// the progress window's 425 x 31 gauge and the edge cases around it.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPalette>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>

#include "gauge_testing.h"
#include "widgets/cgauges.h"
#include "widgets/standinfont.h"

namespace {

using namespace gauge_testing;

// What a bar picture should hold: a frame ring (or none), inside it fore up to column
// fillEnd (exclusive) and back beyond, each pixel possibly inverted by the text, which may
// only touch the rows and columns of textArea.
struct BarExpectation {
  bool frame = true;
  int fillEnd = 0;
  QRgb fore = kNavy;
  QRgb back = kWhite;
  TRect textArea;
};

struct TextPixels {
  int overFore = 0;
  int overBack = 0;
  int faults = 0;
  int left = INT_MAX;
  int right = -1;  // exclusive bounds of the text pixels' columns
};

TextPixels checkBar(const QImage& image, const BarExpectation& e, const std::string& name) {
  TextPixels text;
  const int w = image.width();
  const int h = image.height();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const QRgb pixel = pixelAt(image, x, y);
      const bool ring = x == 0 || y == 0 || x == w - 1 || y == h - 1;
      if (e.frame && ring) {
        if (pixel != kBlack) {
          ++text.faults;
          ADD_FAILURE() << "frame pixel " << describePixel(image, x, y);
        }
        continue;
      }
      const QRgb base = x < e.fillEnd ? e.fore : e.back;
      if (pixel == base) continue;
      const bool inTextArea = x >= e.textArea.Left && x < e.textArea.Right &&
                              y >= e.textArea.Top && y < e.textArea.Bottom;
      if (pixel != inverted(base) || !inTextArea) {
        if (++text.faults <= 5) ADD_FAILURE() << "pixel " << describePixel(image, x, y);
        continue;
      }
      ++(x < e.fillEnd ? text.overFore : text.overBack);
      text.left = std::min(text.left, x);
      text.right = std::max(text.right, x + 1);
    }
  }
  if (text.faults > 0) saveForInspection(image, name);
  return text;
}

class GaugeBar : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ensureApplication(); }

  void SetUp() override { setUpProgramGauge(gauge); }

  // The box the text of the current percentage occupies in rectangle r, clipped to r.
  TRect textBox(const TRect& r) const {
    QFont font = gauge.font();
    font.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(font);
    const QString text = QString::number(gauge.GetPercentDone()) + QLatin1Char('%');
    const int tw = metrics.horizontalAdvance(text);
    const QPoint origin = TCGauge::TextOrigin(r, tw, metrics.height());
    // Glyphs may reach a pixel or two past their advance.
    return TRect{std::max(r.Left, origin.x() - 2), std::max(r.Top, origin.y()),
                 std::min(r.Right, origin.x() + tw + 2),
                 std::min(r.Bottom, origin.y() + metrics.height())};
  }

  TCGauge gauge;
};

const TRect kProgramRect{1, 1, 424, 30};

TEST_F(GaugeBar, ProgramGaugeAtZeroPercent) {
  const QImage image = gauge.renderImage();
  ASSERT_EQ(image.size(), QSize(425, 31));
  const TextPixels text = checkBar(image, {true, 0, kNavy, kWhite, textBox(kProgramRect)}, "0");
  EXPECT_EQ(text.faults, 0);
  EXPECT_GT(text.overBack, 20);  // "0%" in black on white
  EXPECT_EQ(text.overFore, 0);
}

TEST_F(GaugeBar, ProgramGaugeAtHalfStraddlesTheFillEdge) {
  gauge.SetProgress(50);
  const QImage image = gauge.renderImage();
  // Columns 1 to 211 filled; the text changes colour exactly at column 212.
  const TextPixels text = checkBar(image, {true, 212, kNavy, kWhite, textBox(kProgramRect)}, "50");
  EXPECT_EQ(text.faults, 0);
  EXPECT_GT(text.overFore, 10);  // pale yellow on navy
  EXPECT_GT(text.overBack, 10);  // black on white
  // Centred: the text's margins to R differ by a few pixels at most.
  EXPECT_LE(std::abs((text.left - 1) - (424 - text.right)), 4);
}

TEST_F(GaugeBar, ProgramGaugeAtFullCoversTheInside) {
  gauge.SetProgress(100);
  const QImage image = gauge.renderImage();
  const TextPixels text =
      checkBar(image, {true, 424, kNavy, kWhite, textBox(kProgramRect)}, "100");
  EXPECT_EQ(text.faults, 0);
  EXPECT_GT(text.overFore, 20);
  EXPECT_EQ(text.overBack, 0);
  EXPECT_EQ(pixelAt(image, 1, 1), kNavy);
  EXPECT_EQ(pixelAt(image, 423, 29), kNavy);
}

TEST_F(GaugeBar, EmptyRangeShowsZeroWithoutFill) {
  gauge.SetMinValue(100);  // Progress rises to 100 of 100..100
  ASSERT_EQ(gauge.Progress(), 100);
  const TextPixels text =
      checkBar(gauge.renderImage(), {true, 0, kNavy, kWhite, textBox(kProgramRect)}, "empty");
  EXPECT_EQ(text.faults, 0);
  EXPECT_EQ(text.overFore, 0);
  EXPECT_GT(text.overBack, 20);  // "0%"
}

TEST_F(GaugeBar, EachPercentFillsFourOrFiveColumns) {
  gauge.SetShowText(false);
  // The fill's right edge is w * percent / 100 (w = 424) as an absolute column: 0 at 0 %.
  int previousEnd = 0;
  for (int percent = 1; percent <= 100; ++percent) {
    gauge.SetProgress(percent);
    const QImage image = gauge.renderImage();
    int end = 1;
    while (end < 424 && pixelAt(image, end, 15) == kNavy) ++end;
    EXPECT_EQ(end, std::min(424 * percent / 100, 424)) << percent << " %";
    EXPECT_GE(end - previousEnd, 4) << percent << " %";
    EXPECT_LE(end - previousEnd, 5) << percent << " %";
    previousEnd = end;
  }
}

TEST_F(GaugeBar, ProgramFontGivesTheClassicTextHeight) {
  const qar::StandInFont& standIn = qar::classicDialogFont();
  if (!standIn.exact) GTEST_SKIP() << "no exact stand-in font here: " << standIn.note.toStdString();
  QFont font = standIn.font;
  font.setStyleStrategy(QFont::NoAntialias);
  EXPECT_EQ(QFontMetrics(font).height(), 16);
  EXPECT_EQ(TCGauge::TextOrigin(kProgramRect, 37, 16).y(), 7);
}

TEST_F(GaugeBar, WithoutFrameTheFillCoversEverything) {
  gauge.SetBorderStyle(bsNone);
  gauge.SetProgress(100);
  const QImage image = gauge.renderImage();
  const TRect whole{0, 0, 425, 31};
  const TextPixels text = checkBar(image, {false, 425, kNavy, kWhite, textBox(whole)}, "bsnone");
  EXPECT_EQ(text.faults, 0);
  EXPECT_GT(text.overFore, 20);
  EXPECT_EQ(pixelAt(image, 0, 0), kNavy);
  EXPECT_EQ(pixelAt(image, 424, 30), kNavy);

  // Any style but bsSingle draws no frame.
  gauge.SetBorderStyle(bsDialog);
  EXPECT_EQ(gauge.renderImage(), image);
}

TEST_F(GaugeBar, ShowTextOffDrawsTheBarAlone) {
  gauge.SetShowText(false);
  gauge.SetProgress(50);
  const QImage image = gauge.renderImage();
  const TextPixels text = checkBar(image, {true, 212, kNavy, kWhite, TRect{}}, "notext");
  EXPECT_EQ(text.faults, 0);
  EXPECT_EQ(text.overFore + text.overBack, 0);
}

TEST_F(GaugeBar, TextKindShowsTheTextOnBackColorAlone) {
  gauge.SeTCGaugeKind(gkText);
  gauge.SetProgress(50);
  const QImage image = gauge.renderImage();
  const TextPixels text = checkBar(image, {true, 0, kNavy, kWhite, textBox(kProgramRect)}, "gktext");
  EXPECT_EQ(text.faults, 0);
  EXPECT_GT(text.overBack, 20);

  gauge.SetShowText(false);
  const TextPixels none = checkBar(gauge.renderImage(), {true, 0, kNavy, kWhite, TRect{}}, "gktext-off");
  EXPECT_EQ(none.faults, 0);
}

TEST_F(GaugeBar, TextWiderThanTheGaugeIsClippedToR) {
  EXPECT_EQ(TCGauge::TextOrigin(TRect{1, 1, 19, 30}, 40, 16), QPoint(-10, 7));  // -21 / 2
  EXPECT_EQ(TCGauge::TextOrigin(TRect{1, 1, 424, 9}, 36, 16), QPoint(194, -3));  // -7 / 2

  gauge.resize(20, 31);
  gauge.SetProgress(100);
  const TRect r{1, 1, 19, 30};
  const TextPixels wide = checkBar(gauge.renderImage(), {true, 20, kNavy, kWhite, r}, "wide");
  EXPECT_EQ(wide.faults, 0);
  EXPECT_GT(wide.overFore, 5);

  // Too low for the text: its rows are cut at R's top and bottom, the frame stays.
  gauge.resize(425, 10);
  gauge.SetProgress(0);
  const TextPixels low =
      checkBar(gauge.renderImage(), {true, 0, kNavy, kWhite, TRect{1, 1, 424, 9}}, "low");
  EXPECT_EQ(low.faults, 0);
  EXPECT_GT(low.overBack, 5);
}

TEST_F(GaugeBar, TinyGaugesStayWithinTheirPixels) {
  gauge.resize(0, 0);
  EXPECT_TRUE(gauge.renderImage().isNull());
  gauge.resize(1, 1);
  const QImage one = gauge.renderImage();
  ASSERT_EQ(one.size(), QSize(1, 1));
  EXPECT_EQ(pixelAt(one, 0, 0), kBlack);
  gauge.resize(2, 3);
  gauge.SetProgress(100);
  const QImage small = gauge.renderImage();
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 2; ++x) EXPECT_EQ(pixelAt(small, x, y), kBlack) << x << "," << y;
  }
}

TEST_F(GaugeBar, PaintPutsThePictureOnScreenUnchanged) {
  gauge.SetProgress(42);
  const QImage expected = gauge.renderImage();
  const QImage shown = gauge.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(shown, expected);
}

TEST_F(GaugeBar, SystemColoursResolveThroughThePalette) {
  gauge.SetShowText(false);
  gauge.SetBackColor(clWindow);
  gauge.SetForeColor(clHighlight);
  gauge.SetProgress(50);
  const QImage image = gauge.renderImage();
  const QPalette palette = QGuiApplication::palette();
  EXPECT_EQ(pixelAt(image, 5, 5), palette.color(QPalette::Active, QPalette::Highlight).rgb() & 0xFFFFFF);
  EXPECT_EQ(pixelAt(image, 300, 5), palette.color(QPalette::Active, QPalette::Base).rgb() & 0xFFFFFF);
  EXPECT_EQ(ColorToRGB(clNavy), TColor{0x800000});
  EXPECT_EQ(ToQColor(clNavy), QColor(0, 0, 128));
  EXPECT_EQ(ColorToRGB(0xAB123456), clBlack);  // a system colour index beyond the table
}

}  // namespace

namespace {

// At a device pixel ratio of 2 every non-text pixel is the 1x pixel enlarged to a 2 x 2
// block; the text only inverts pixels, within the enlarged text area, and is drawn finer
// than an enlarged 1x text would be (some 2 x 2 block is split).
TEST_F(GaugeBar, AtTwiceThePixelRatioTheBarIsEnlargedAndTheTextDrawnFine) {
  for (int percent : {0, 33, 50, 100}) {
    gauge.SetProgress(percent);
    const QImage one = gauge.renderImage();
    EXPECT_EQ(gauge.renderImage(1), one);
    gauge.SetShowText(false);
    const QImage plain = gauge.renderImage();
    gauge.SetShowText(true);
    const QImage two = gauge.renderImage(2);
    ASSERT_EQ(two.size(), one.size() * 2);
    int inverted = 0;
    int splitBlocks = 0;
    for (int y = 0; y < two.height(); y += 2) {
      for (int x = 0; x < two.width(); x += 2) {
        const QRgb base = pixelAt(plain, x / 2, y / 2);
        int differing = 0;
        for (int dy = 0; dy < 2; ++dy) {
          for (int dx = 0; dx < 2; ++dx) {
            const QRgb pixel = pixelAt(two, x + dx, y + dy);
            if (pixel == base) continue;
            ++differing;
            ASSERT_EQ(pixel, base ^ 0xFFFFFFu) << percent << "% at " << x + dx << "," << y + dy;
          }
        }
        inverted += differing;
        if (differing != 0 && differing != 4) ++splitBlocks;
      }
    }
    EXPECT_GT(inverted, 40) << percent << "%";
    EXPECT_GT(splitBlocks, 0) << percent << "%: the text is an enlarged 1x text";
  }
}

}  // namespace
