// The raster operations under the gauge: the exclusive-or combine, fills and lines with
// exclusive right/bottom edges, clipping at the image's borders, and the overlay bitmap.
#include <gtest/gtest.h>

#include <QImage>

#include "base/exception.h"
#include "gauge_testing.h"
#include "widgets/tcolor.h"
#include "widgets/workimage.h"

namespace {

using namespace gauge_testing;

QImage filled(int w, int h, QRgb rgb) {
  QImage image = NewWorkingImage(w, h);
  image.fill(QColor::fromRgb(rgb));
  return image;
}

int countColour(const QImage& image, QRgb rgb) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += pixelAt(image, x, y) == rgb;
  }
  return n;
}

TEST(GaugeWorkImage, XorCombinesRedGreenBlueAndKeepsPixelsOpaque) {
  QImage target = filled(3, 2, 0x123456);
  QImage source = filled(3, 2, 0x000000);
  source.setPixel(1, 1, 0xFFFFFFFF);
  source.setPixel(2, 0, 0xFF0F0F0F);
  XorCombine(target, source);
  EXPECT_EQ(pixelAt(target, 0, 0), QRgb{0x123456});
  EXPECT_EQ(pixelAt(target, 1, 1), QRgb{0xEDCBA9});
  EXPECT_EQ(pixelAt(target, 2, 0), QRgb{0x1D3B59});
  EXPECT_EQ(qAlpha(target.pixel(1, 1)), 255);
  // Navy under white text turns pale yellow.
  QImage navy = filled(1, 1, kNavy);
  XorCombine(navy, filled(1, 1, kWhite));
  EXPECT_EQ(pixelAt(navy, 0, 0), kPaleYellow);
}

TEST(GaugeWorkImage, XorRefusesImagesThatDoNotMatch) {
  QImage target = filled(3, 2, 0x123456);
  const QImage original = target;
  try {
    XorCombine(target, filled(2, 3, 0));
    ADD_FAILURE() << "no error";
  } catch (const qar::Exception& e) {
    EXPECT_EQ(e.message(), "Cannot combine working images of different sizes or formats");
  }
  EXPECT_THROW(XorCombine(target, QImage(3, 2, QImage::Format_RGB888)), qar::Exception);
  EXPECT_EQ(target, original);
}

TEST(GaugeWorkImage, FillCoversLeftToRightExclusiveAndClips) {
  QImage image = filled(10, 10, kBlack);
  FillRect(image, TRect{2, 3, 5, 4}, Qt::white);
  EXPECT_EQ(countColour(image, kWhite), 3);
  EXPECT_EQ(pixelAt(image, 2, 3), kWhite);
  EXPECT_EQ(pixelAt(image, 4, 3), kWhite);
  EXPECT_EQ(pixelAt(image, 5, 3), kBlack);

  FillRect(image, TRect{5, 5, 5, 9}, Qt::red);  // empty
  FillRect(image, TRect{8, 8, 4, 4}, Qt::red);  // inverted
  EXPECT_EQ(countColour(image, 0xFF0000), 0);
  FillRect(image, TRect{-5, -5, 1, 20}, Qt::red);  // reaches past the borders
  EXPECT_EQ(countColour(image, 0xFF0000), 10);
}

TEST(GaugeWorkImage, LineLeavesOutItsEndPoint) {
  QImage image = filled(10, 10, kBlack);
  DrawLine(image, QPoint(1, 1), QPoint(6, 1), Qt::white);
  EXPECT_EQ(countColour(image, kWhite), 5);
  EXPECT_EQ(pixelAt(image, 6, 1), kBlack);

  image = filled(10, 10, kBlack);
  DrawLine(image, QPoint(0, 0), QPoint(4, 4), Qt::white);  // diagonal
  for (int i = 0; i < 4; ++i) EXPECT_EQ(pixelAt(image, i, i), kWhite) << i;
  EXPECT_EQ(pixelAt(image, 4, 4), kBlack);

  image = filled(10, 10, kBlack);
  DrawLine(image, QPoint(3, 3), QPoint(3, 3), Qt::white);  // no length: nothing
  EXPECT_EQ(countColour(image, kWhite), 0);
  DrawLine(image, QPoint(8, 20), QPoint(8, -20), Qt::white);  // off both borders
  EXPECT_EQ(countColour(image, kWhite), 10);
}

TEST(GaugeWorkImage, OverlayTakesTheSizeFilledWithTheWindowFrameColour) {
  ensureApplication();
  TBltBitmap overlay;
  overlay.CopySizeFrom(filled(7, 4, kWhite));
  ASSERT_EQ(overlay.size(), QSize(7, 4));
  EXPECT_EQ(overlay.format(), kWorkingImageFormat);
  // Every pixel in the resolved clWindowFrame, whatever the template held.
  EXPECT_EQ(countColour(overlay, ToQColor(clWindowFrame).rgb() & 0xFFFFFF), 28);
}

TEST(GaugeWorkImage, ImpossibleSizesRaiseClearErrors) {
  try {
    NewWorkingImage(-1, 5);
    ADD_FAILURE() << "no error";
  } catch (const qar::Exception& e) {
    EXPECT_EQ(e.message(), "Cannot create a working image of -1 x 5 pixels");
  }
  EXPECT_TRUE(NewWorkingImage(0, 5).isNull());
  EXPECT_TRUE(NewWorkingImage(5, 0).isNull());
}

}  // namespace
