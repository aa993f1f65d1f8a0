// TCGauge, the passive progress gauge: an integer range, a position in it, and the whole
// percentage between them, drawn as a horizontal bar with the percentage laid over it
// (or as a vertical bar, text alone, a pie or a needle dial). It takes no focus and no input.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <cstdint>

#include "widgets/formborder.h"
#include "widgets/tcolor.h"
#include "widgets/workimage.h"

// The drawing styles; the numeric values are fixed.
enum TCGaugeKind : std::uint8_t {
  gkText = 0,
  gkHorizontalBar = 1,
  gkVerticalBar = 2,
  gkPie = 3,
  gkNeedle = 4,
};

// TCGauge keeps MinValue <= Progress <= MaxValue at all times.
//
// Repainting: every setter that changes what is shown repaints at once (a synchronous
// repaint()) when the gauge is visible; a hidden gauge, or one whose window is not on screen
// yet, draws nothing now and shows its current state at its next regular paint. Painting is
// opaque: the gauge covers every pixel of its rectangle and nothing is erased behind it.
//
// The percentage text is set in the widget's font (by default its parent's; the progress
// window gives its controls qar::classicDialogFont()), always without anti-aliasing, so that
// laying it over the picture by exclusive-or gives exact colours.
//
// Only the thread that owns the widgets may use a gauge.
class TCGauge : public QWidget {
  Q_OBJECT

 public:
  // The defaults: range 0..100, Progress 0, gkHorizontalBar, ShowText, bsSingle, ForeColor
  // clBlack, BackColor clWhite, Color following the parent; size 100 x 100.
  explicit TCGauge(QWidget* owner = nullptr);

  int MinValue() const { return minValue_; }
  int MaxValue() const { return maxValue_; }
  int Progress() const { return progress_; }
  TCGaugeKind Kind() const { return kind_; }
  bool ShowText() const { return showText_; }
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  TColor ForeColor() const { return foreColor_; }
  TColor BackColor() const { return backColor_; }

  // Raises qar::Exception "Value must be between -2147483647 and <MaxValue - 1>" when
  // v > MaxValue, changing nothing. Otherwise stores v, raises Progress to it if below, and
  // repaints; setting the current minimum again does nothing.
  void SetMinValue(int v);
  // Raises qar::Exception "Value must be between <MinValue + 1> and 2147483647" when v is
  // not 0 and v < MinValue, changing nothing. Otherwise stores v, pulls Progress down to it
  // if above, and repaints. A maximum of 0 is never refused: below a positive minimum it
  // takes the minimum down with it, leaving the empty range 0..0.
  void SetMaxValue(int v);
  // Clamps v into the range and stores it; repaints only when the whole percentage changes,
  // so a sweep over the range costs at most 100 repaints. Never raises.
  void SetProgress(int v);
  // SetProgress(Progress + amount), the sum held at the 32-bit limits instead of wrapping,
  // then a repaint whether or not anything changed.
  void AddProgress(int amount);

  // The whole percentage, floor((Progress - MinValue) * 100 / (MaxValue - MinValue)),
  // 0 for an empty range; always 0 to 100, and 100 only at MaxValue.
  int GetPercentDone() const;
  // The whole percentage the gauge would show at Progress v (v clamped into the range).
  int PercentDoneAt(int v) const;

  // Style setters: store and repaint when the value differs, do nothing when it is equal.
  // A kind above gkNeedle or a border style above bsSizeToolWin raises qar::Exception.
  void SeTCGaugeKind(TCGaugeKind kind);
  void SetShowText(bool show);
  void SetBorderStyle(TFormBorderStyle style);
  void SetForeColor(TColor color);
  void SetBackColor(TColor color);

  // The colour around the pie and the needle dial. Until SetColor is called it follows the
  // parent: the parent's background colour, or clBtnFace for a gauge without parent.
  TColor Color() const;
  bool ParentColor() const { return parentColor_; }
  void SetColor(TColor color);
  void SetParentColor(bool follow);

  // The complete picture of the gauge, Width() x Height(), exactly as Paint puts it on
  // screen (null when the gauge has no area). Raises qar::Exception when a working image
  // cannot be created.
  QImage renderImage() const;
  // The same picture for a screen of scale device pixels per pixel: the bar enlarged pixel
  // for pixel, the text drawn at the device's resolution. scale 1 gives renderImage().
  QImage renderImage(int scale) const;

  // Where the percentage text of textWidth x textHeight pixels starts inside paint
  // rectangle r: half the spare room, truncated toward zero (negative when it does not fit).
  static QPoint TextOrigin(const TRect& r, int textWidth, int textHeight);

 protected:
  // Draws the whole gauge onto its surface; runs inside paintEvent.
  virtual void Paint();
  void paintEvent(QPaintEvent* event) override;

  // The drawing steps of renderImage, each onto a working image of the gauge's size.
  void PaintBackground(QImage& image) const;
  void PaintAsNothing(QImage& image, const TRect& r) const;
  void PaintAsBar(QImage& image, const TRect& r) const;
  void PaintAsPie(QImage& image, const TRect& r) const;
  void PaintAsNeedle(QImage& image, const TRect& r) const;
  // scale: device pixels per pixel of image and r (the font is enlarged to match).
  void PaintAsText(QImage& image, const TRect& r, int scale) const;

 private:
  // The picture at the gauge's size, with or without the percentage text.
  QImage renderPicture(bool withText) const;
  // Runs Paint now when the gauge is visible; otherwise leaves it to the next regular paint.
  void RepaintNow();
  // The area the style is drawn in: the whole gauge, less a one-pixel frame for bsSingle.
  TRect PaintRect() const;
  // Fills r with Color for the pie and the needle and answers the dial's right and bottom
  // edges (d, e): r's width and height, each one more with bsSingle.
  QPoint PaintDialGround(QImage& image, const TRect& r) const;

  int minValue_ = 0;
  int maxValue_ = 100;
  int progress_ = 0;
  TCGaugeKind kind_ = gkHorizontalBar;
  bool showText_ = true;
  TFormBorderStyle borderStyle_ = bsSingle;
  TColor foreColor_ = clBlack;
  TColor backColor_ = clWhite;
  TColor color_ = clBtnFace;
  bool parentColor_ = true;
};
