// Working images: creation with a clear failure, rectangle fills and lines with exclusive
// right/bottom edges, and the exclusive-or combine done directly on the pixel data.
#include "widgets/workimage.h"

#include <QPainter>
#include <QPen>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>

#include "base/exception.h"
#include "widgets/tcolor.h"

namespace {

std::string sizeText(int width, int height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

void setPixelChecked(QImage& image, int x, int y, QRgb rgb) {
  if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) return;
  reinterpret_cast<QRgb*>(image.scanLine(y))[x] = rgb;
}

}  // namespace

QImage NewWorkingImage(int width, int height) {
  if (width < 0 || height < 0) {
    throw qar::Exception("Cannot create a working image of " + sizeText(width, height) +
                         " pixels");
  }
  if (width == 0 || height == 0) return QImage();
  QImage image(width, height, kWorkingImageFormat);
  if (image.isNull()) {
    throw qar::Exception("Not enough memory for a working image of " + sizeText(width, height) +
                         " pixels");
  }
  return image;
}

void TBltBitmap::CopySizeFrom(const QImage& templ) {
  QImage sized = NewWorkingImage(templ.width(), templ.height());
  sized.fill(ToQColor(clWindowFrame));
  QImage::operator=(std::move(sized));
}

void FillRect(QImage& image, const TRect& r, const QColor& color) {
  const int left = std::max(r.Left, 0);
  const int top = std::max(r.Top, 0);
  const int right = std::min(r.Right, image.width());
  const int bottom = std::min(r.Bottom, image.height());
  if (left >= right || top >= bottom) return;
  const QRgb rgb = color.rgb() | 0xFF000000u;
  for (int y = top; y < bottom; ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    std::fill(row + left, row + right, rgb);
  }
}

void DrawLine(QImage& image, QPoint from, QPoint to, const QColor& color) {
  // Bresenham's walk over the major axis; the end point is not drawn.
  const QRgb rgb = color.rgb() | 0xFF000000u;
  const int dx = std::abs(to.x() - from.x());
  const int dy = -std::abs(to.y() - from.y());
  const int stepX = from.x() < to.x() ? 1 : -1;
  const int stepY = from.y() < to.y() ? 1 : -1;
  int error = dx + dy;
  int x = from.x();
  int y = from.y();
  while (x != to.x() || y != to.y()) {
    setPixelChecked(image, x, y, rgb);
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x += stepX;
    }
    if (twice <= dx) {
      error += dx;
      y += stepY;
    }
  }
}

void XorCombine(QImage& target, const QImage& source) {
  XorCombine(target, source, TRect{0, 0, target.width(), target.height()});
}

void XorCombine(QImage& target, const QImage& source, const TRect& r) {
  if (target.size() != source.size() || target.format() != kWorkingImageFormat ||
      source.format() != kWorkingImageFormat) {
    throw qar::Exception("Cannot combine working images of different sizes or formats");
  }
  const int left = std::max(r.Left, 0);
  const int top = std::max(r.Top, 0);
  const int right = std::min(r.Right, target.width());
  const int bottom = std::min(r.Bottom, target.height());
  for (int y = top; y < bottom; ++y) {
    QRgb* out = reinterpret_cast<QRgb*>(target.scanLine(y));
    const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    for (int x = left; x < right; ++x) out[x] ^= in[x] & 0x00FFFFFFu;
  }
}

namespace {

// The rectangle Qt strokes so that a one-pixel outline covers exactly box's pixels.
QRectF outlineRect(const TRect& box) {
  return QRectF(box.Left, box.Top, box.Right - box.Left - 1, box.Bottom - box.Top - 1);
}

bool drawable(const TRect& box) { return box.Right - box.Left >= 2 && box.Bottom - box.Top >= 2; }

void preparePainter(QPainter& painter, const QColor& pen, const QColor& brush) {
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(pen, 1));
  painter.setBrush(brush);
}

// The direction of the ray from the ellipse's centre through p, as the ellipse parameter
// Qt's arcs take (degrees, counter-clockwise from three o'clock, y growing upwards).
double rayAngle(const QRectF& ellipse, QPoint p) {
  const QPointF centre = ellipse.center();
  const double dx = (p.x() - centre.x()) / (ellipse.width() / 2);
  const double dy = (centre.y() - p.y()) / (ellipse.height() / 2);
  return std::atan2(dy, dx) * 180.0 / std::numbers::pi;
}

}  // namespace

void DrawEllipse(QImage& image, const TRect& box, const QColor& pen, const QColor& brush) {
  if (!drawable(box) || image.isNull()) return;
  QPainter painter(&image);
  preparePainter(painter, pen, brush);
  painter.drawEllipse(outlineRect(box));
}

void DrawSector(QImage& image, const TRect& box, QPoint rayFrom, QPoint rayTo, bool clockwise,
                const QColor& pen, const QColor& brush) {
  if (!drawable(box) || image.isNull()) return;
  const QRectF ellipse = outlineRect(box);
  const double from = rayAngle(ellipse, rayFrom);
  const double to = rayAngle(ellipse, rayTo);
  // Sweep in (0, 360]: rays that coincide (to within rounding) mean the full turn.
  double sweep = clockwise ? from - to : to - from;
  sweep = std::fmod(sweep + 720.0, 360.0);
  if (sweep < 1e-9 || sweep > 360.0 - 1e-9) sweep = 360.0;
  // Qt counts 1/16 of a degree, positive counter-clockwise.
  const int start16 = static_cast<int>(std::lround(from * 16));
  const int span16 = static_cast<int>(std::lround(sweep * 16)) * (clockwise ? -1 : 1);
  QPainter painter(&image);
  preparePainter(painter, pen, brush);
  if (sweep == 360.0) {
    painter.drawEllipse(ellipse);
  } else {
    painter.drawPie(ellipse, start16, span16);
  }
}
