// Off-screen working images of the gauge and the few raster operations it needs on them:
// rectangle fills, one-pixel lines and the red/green/blue exclusive-or of two images.
// Rectangles and line ends follow the classic Windows drawing rules (see TRect).
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>

// A rectangle given by its edges; Right and Bottom are exclusive, so the rectangle covers
// columns Left..Right-1 and rows Top..Bottom-1 and is empty when Right <= Left or
// Bottom <= Top.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  friend bool operator==(const TRect&, const TRect&) = default;
};

// Every working image has this format: 0xFFRRGGBB per pixel, alpha always opaque.
inline constexpr QImage::Format kWorkingImageFormat = QImage::Format_RGB32;

// A width x height working image (contents undefined). Raises qar::Exception when the image
// cannot be created (negative size or not enough memory); a zero-sized image is valid.
QImage NewWorkingImage(int width, int height);

// The overlay bitmap of the gauge: a working image that can take another image's size.
class TBltBitmap : public QImage {
 public:
  TBltBitmap() = default;
  // Takes templ's width and height and fills the whole image with clWindowFrame. Raises
  // qar::Exception when the image cannot be created; the old contents are then kept.
  void CopySizeFrom(const QImage& templ);
};

// Fills r, clipped to the image, with color.
void FillRect(QImage& image, const TRect& r, const QColor& color);

// Draws a one-pixel line from `from` towards `to` in color, leaving out the end point itself
// (so chained lines meet without drawing their joint twice). Pixels off the image are skipped.
void DrawLine(QImage& image, QPoint from, QPoint to, const QColor& color);

// Replaces every pixel of target by its exclusive-or with the pixel of source at the same
// place, on red, green and blue. Both must be working images of the same size; raises
// qar::Exception otherwise.
void XorCombine(QImage& target, const QImage& source);
// The same within r only (clipped to the images).
void XorCombine(QImage& target, const QImage& source, const TRect& r);

// Ellipses and sectors take their bounding box as a TRect, so the outline stays inside
// columns Left..Right-1 and rows Top..Bottom-1. Both are drawn without anti-aliasing, the
// inside in brush and a one-pixel outline in pen; a box under 2 x 2 pixels draws nothing.
void DrawEllipse(QImage& image, const TRect& box, const QColor& pen, const QColor& brush);

// The sector of the ellipse in box between the ray from its centre through rayFrom and the
// ray through rayTo, swept clockwise or counter-clockwise (as seen on screen, y growing
// downwards). When both rays point the same way the whole ellipse is drawn.
void DrawSector(QImage& image, const TRect& box, QPoint rayFrom, QPoint rayTo, bool clockwise,
                const QColor& pen, const QColor& brush);
