// TCGauge's state: the range, the position and the style properties, their setters with
// the range errors and the repaint rule, and the paint pipeline that assembles the picture
// off screen and puts it on the surface in one copy.
#include "widgets/cgauges.h"

#include <QPaintEvent>
#include <QPainter>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "base/exception.h"

namespace {

// The lowest bound the minimum's error message names (one above the 32-bit minimum).
constexpr std::int64_t kLowestNamedBound = -2147483647;
constexpr std::int64_t kHighestNamedBound = 2147483647;

qar::Exception rangeError(std::int64_t low, std::int64_t high) {
  return qar::Exception("Value must be between " + std::to_string(low) + " and " +
                        std::to_string(high));
}

}  // namespace

TCGauge::TCGauge(QWidget* owner) : QWidget(owner) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAutoFillBackground(false);
  setFocusPolicy(Qt::NoFocus);
  resize(100, 100);
}

int TCGauge::GetPercentDone() const { return PercentDoneAt(progress_); }

int TCGauge::PercentDoneAt(int v) const {
  // 64-bit differences: any two 32-bit bounds give a span that fits.
  const std::int64_t span = std::int64_t{maxValue_} - minValue_;
  if (span == 0) return 0;
  const std::int64_t done = std::int64_t{std::clamp(v, minValue_, maxValue_)} - minValue_;
  return static_cast<int>(done * 100 / span);
}

void TCGauge::SetMinValue(int v) {
  if (v == minValue_) return;
  if (v > maxValue_) throw rangeError(kLowestNamedBound, std::int64_t{maxValue_} - 1);
  minValue_ = v;
  if (progress_ < v) progress_ = v;
  RepaintNow();
}

void TCGauge::SetMaxValue(int v) {
  if (v != 0 && v < minValue_) throw rangeError(std::int64_t{minValue_} + 1, kHighestNamedBound);
  if (v < minValue_) minValue_ = v;  // only for v == 0: the range collapses to 0..0
  maxValue_ = v;
  if (progress_ > v) progress_ = v;
  RepaintNow();
}

void TCGauge::SetProgress(int v) {
  const int percentBefore = GetPercentDone();
  const int clamped = std::clamp(v, minValue_, maxValue_);
  if (clamped == progress_) return;
  progress_ = clamped;
  if (GetPercentDone() != percentBefore) RepaintNow();
}

void TCGauge::AddProgress(int amount) {
  const std::int64_t sum = std::int64_t{progress_} + amount;
  SetProgress(static_cast<int>(std::clamp<std::int64_t>(sum, std::numeric_limits<int>::min(),
                                                       std::numeric_limits<int>::max())));
  RepaintNow();
}

void TCGauge::SeTCGaugeKind(TCGaugeKind kind) {
  if (static_cast<unsigned>(kind) > gkNeedle) {
    throw qar::Exception("Unknown gauge kind " + std::to_string(static_cast<unsigned>(kind)));
  }
  if (kind == kind_) return;
  kind_ = kind;
  RepaintNow();
}

void TCGauge::SetShowText(bool show) {
  if (show == showText_) return;
  showText_ = show;
  RepaintNow();
}

void TCGauge::SetBorderStyle(TFormBorderStyle style) {
  if (static_cast<unsigned>(style) > kLastFormBorderStyle) {
    throw qar::Exception("Unknown border style " + std::to_string(static_cast<unsigned>(style)));
  }
  if (style == borderStyle_) return;
  borderStyle_ = style;
  RepaintNow();
}

void TCGauge::SetForeColor(TColor color) {
  if (color == foreColor_) return;
  foreColor_ = color;
  RepaintNow();
}

void TCGauge::SetBackColor(TColor color) {
  if (color == backColor_) return;
  backColor_ = color;
  RepaintNow();
}

TColor TCGauge::Color() const {
  if (!parentColor_) return color_;
  const QWidget* parent = parentWidget();
  if (parent == nullptr) return clBtnFace;
  return FromQColor(parent->palette().color(parent->backgroundRole()));
}

void TCGauge::SetColor(TColor color) {
  if (!parentColor_ && color == color_) return;
  color_ = color;
  parentColor_ = false;
  update();
}

void TCGauge::SetParentColor(bool follow) {
  if (follow == parentColor_) return;
  parentColor_ = follow;
  update();
}

void TCGauge::RepaintNow() {
  // repaint() paints synchronously once the window is on screen; before that Qt only marks
  // the gauge dirty, and its first regular paint shows the state of that moment.
  if (isVisible()) repaint();
}

TRect TCGauge::PaintRect() const {
  if (borderStyle_ == bsSingle) return TRect{1, 1, width() - 1, height() - 1};
  return TRect{0, 0, width(), height()};
}

QPoint TCGauge::TextOrigin(const TRect& r, int textWidth, int textHeight) {
  return QPoint((r.Right - r.Left + 1 - textWidth) / 2, (r.Bottom - r.Top + 1 - textHeight) / 2);
}

QImage TCGauge::renderImage() const { return renderImage(1); }

QImage TCGauge::renderImage(int scale) const {
  if (scale <= 1) return renderPicture(true);
  // The bar, pie and needle are drawn at the gauge's own size and enlarged pixel for pixel;
  // the percentage text is then laid over at the device's resolution, so it stays sharp.
  const QImage plain = renderPicture(false);
  if (plain.isNull()) return plain;
  QImage picture = plain.scaled(plain.size() * scale, Qt::IgnoreAspectRatio,
                                Qt::FastTransformation)
                       .convertToFormat(plain.format());
  if (showText_) {
    const TRect r = PaintRect();
    PaintAsText(picture, TRect{r.Left * scale, r.Top * scale, r.Right * scale, r.Bottom * scale},
                scale);
  }
  return picture;
}

QImage TCGauge::renderPicture(bool withText) const {
  const TRect r = PaintRect();
  QImage overlay = NewWorkingImage(width(), height());
  if (overlay.isNull()) return overlay;
  PaintBackground(overlay);
  switch (kind_) {
    case gkText:
      PaintAsNothing(overlay, r);
      break;
    case gkHorizontalBar:
    case gkVerticalBar:
      PaintAsBar(overlay, r);
      break;
    case gkPie:
      PaintAsPie(overlay, r);
      break;
    case gkNeedle:
      PaintAsNeedle(overlay, r);
      break;
  }
  // Combined by exclusive-or with the black background the picture would become a copy of
  // the overlay, whose pixels outside r stay black (with bsSingle that ring is the frame):
  // the overlay is taken as the picture straight away.
  QImage picture = std::move(overlay);

  if (showText_ && withText) PaintAsText(picture, r, 1);
  return picture;
}

void TCGauge::Paint() {
  const int scale = std::max(1, static_cast<int>(std::ceil(devicePixelRatioF())));
  QImage picture = renderImage(scale);
  if (picture.isNull()) return;
  picture.setDevicePixelRatio(scale);
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(0, 0, picture);
}

void TCGauge::paintEvent(QPaintEvent* /*event*/) {
  // No exception may cross Qt's paint machinery: a picture that cannot be built (no memory
  // for a working image) is reported and the gauge keeps what it showed before.
  try {
    Paint();
  } catch (const std::exception& e) {
    qWarning("The progress gauge could not be drawn: %s", e.what());
  }
}
