// TCGauge's drawing steps: the black background, the five styles drawn into the overlay
// within the paint rectangle, and the percentage text laid over the picture by exclusive-or.
// Coordinates follow the classic drawing rules: right and bottom edges are exclusive.
#include <QFontMetrics>
#include <QPainter>
#include <QString>

#include <cmath>
#include <cstdint>
#include <numbers>

#include "widgets/cgauges.h"

namespace {

// floor(v) for the dial geometry, where v comes from a sine or cosine. Those carry rounding
// errors of about 1e-16, which would drop a quarter, half or full turn one pixel short
// (1 - cos(2.5 pi) is not exactly 1); values that close to a whole number count as it.
int floorOfTrig(double v) {
  const double nearest = std::round(v);
  if (std::abs(v - nearest) < 1e-9) return static_cast<int>(nearest);
  return static_cast<int>(std::floor(v));
}

}  // namespace

void TCGauge::PaintBackground(QImage& image) const {
  FillRect(image, TRect{0, 0, width(), height()}, Qt::black);
}

void TCGauge::PaintAsNothing(QImage& image, const TRect& r) const {
  FillRect(image, r, ToQColor(backColor_));
}

void TCGauge::PaintAsBar(QImage& image, const TRect& r) const {
  // One more than r's width and height; the fill uses them as right and bottom edges.
  const int w = r.Right - r.Left + 1;
  const int h = r.Bottom - r.Top + 1;
  const QColor fore = ToQColor(foreColor_);
  FillRect(image, r, ToQColor(backColor_));
  const std::int64_t percent = GetPercentDone();
  if (kind_ == gkHorizontalBar) {
    int f = static_cast<int>(w * percent / 100);
    if (f > w) f = w;
    if (f > 0) FillRect(image, TRect{r.Left, r.Top, f, h}, fore);
  } else {
    int f = static_cast<int>(h * percent / 100);
    if (f >= h) f = h - 1;
    FillRect(image, TRect{r.Left, h - f, w, h}, fore);
  }
}

QPoint TCGauge::PaintDialGround(QImage& image, const TRect& r) const {
  FillRect(image, r, ToQColor(Color()));
  // With a frame the dial reaches one pixel further, up to the frame's inner edge.
  const int grow = borderStyle_ == bsSingle ? 1 : 0;
  return QPoint(r.Right - r.Left + grow, r.Bottom - r.Top + grow);
}

void TCGauge::PaintAsPie(QImage& image, const TRect& r) const {
  const QPoint extent = PaintDialGround(image, r);
  const int d = extent.x();
  const int e = extent.y();
  const QColor fore = ToQColor(foreColor_);
  const TRect box{r.Left, r.Top, d, e};
  DrawEllipse(image, box, fore, ToQColor(backColor_));
  const int percent = GetPercentDone();
  if (percent < 1) return;
  // The sector runs clockwise from twelve o'clock; a = pi/2 + 2 pi * percent / 100.
  const int mx = d / 2;
  const int my = e / 2;
  const double a = (percent * 0.02 + 0.5) * std::numbers::pi;
  const QPoint end(floorOfTrig((1 - std::cos(a)) * mx), floorOfTrig((1 - std::sin(a)) * my));
  DrawSector(image, box, QPoint(mx, 0), end, /*clockwise=*/true, fore, fore);
}

void TCGauge::PaintAsNeedle(QImage& image, const TRect& r) const {
  const QPoint extent = PaintDialGround(image, r);
  const int d = extent.x();
  const int e = extent.y();
  const QColor fore = ToQColor(foreColor_);
  // The dial: the upper half of an ellipse twice r's height, from its right end over the
  // top to its left end, standing on a base line one row below r.
  DrawSector(image, TRect{r.Left, r.Top, d, 2 * e - 1}, QPoint(r.Left + d, r.Bottom - 1),
             QPoint(r.Left, r.Bottom - 1), /*clockwise=*/false, fore, ToQColor(backColor_));
  DrawLine(image, QPoint(r.Left, r.Bottom), QPoint(r.Left + d, r.Bottom), fore);
  const int percent = GetPercentDone();
  if (percent <= 0) return;
  // Pointing left near 0 %, straight up at 50 %, right at 100 %.
  const int m = width() / 2;
  const double a = percent * 0.01 * std::numbers::pi;
  const QPoint tip(floorOfTrig((1 - std::cos(a)) * m),
                   floorOfTrig((1 - std::sin(a)) * (r.Bottom - 1)));
  DrawLine(image, QPoint(m, r.Bottom - 1), tip, fore);
}

void TCGauge::PaintAsText(QImage& image, const TRect& r, int scale) const {
  const QString text = QString::number(GetPercentDone()) + QLatin1Char('%');
  QImage textImage = NewWorkingImage(image.width(), image.height());
  // Black within r, the only part drawn on and combined.
  FillRect(textImage, r, Qt::black);

  // Whole glyph pixels only: partly covered pixels would give in-between colours once
  // combined by exclusive-or.
  QFont textFont = font();
  textFont.setStyleStrategy(
      static_cast<QFont::StyleStrategy>(textFont.styleStrategy() | QFont::NoAntialias));
  if (scale > 1) {
    if (textFont.pixelSize() > 0) {
      textFont.setPixelSize(textFont.pixelSize() * scale);
    } else {
      textFont.setPointSizeF(textFont.pointSizeF() * scale);
    }
  }
  const QFontMetrics metrics(textFont, &textImage);
  const QPoint origin = TextOrigin(r, metrics.horizontalAdvance(text), metrics.height());
  if (r.Right > r.Left && r.Bottom > r.Top && !textImage.isNull()) {
    QPainter painter(&textImage);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setClipRect(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top));
    painter.setFont(textFont);
    painter.setPen(Qt::white);
    // drawText places the baseline; origin is the top of the text line.
    painter.drawText(QPoint(origin.x(), origin.y() + metrics.ascent()), text);
  }
  // Outside r the text image is black, which leaves the picture as it is.
  XorCombine(image, textImage, r);
}
