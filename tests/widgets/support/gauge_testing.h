// Shared by the gauge tests: the one QApplication they need, the program's gauge set up as
// the progress window sets it, a gauge that counts its paints, and pixel helpers.
#pragma once

#include <QImage>
#include <QRgb>

#include <functional>
#include <string>

#include "widgets/cgauges.h"

namespace gauge_testing {

// Creates the application object on first use (offscreen platform unless one is chosen).
void ensureApplication();

// Colours as 0xRRGGBB, the form pixels are compared in.
inline constexpr QRgb kBlack = 0x000000;
inline constexpr QRgb kWhite = 0xFFFFFF;
inline constexpr QRgb kNavy = 0x000080;
inline constexpr QRgb kPaleYellow = 0xFFFF7F;  // navy inverted

// The pixel at (x, y) as 0xRRGGBB.
inline QRgb pixelAt(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }
inline QRgb inverted(QRgb rgb) { return rgb ^ 0xFFFFFF; }

// "(x, y) = #rrggbb", for failure messages.
std::string describePixel(const QImage& image, int x, int y);

// The progress window's gauge: 425 x 31, ForeColor clNavy, framed, in the stand-in font.
void setUpProgramGauge(TCGauge& gauge);

// A gauge that counts how often Paint runs.
class CountingGauge : public TCGauge {
 public:
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    TCGauge::Paint();
  }
};

// Shows the gauge's window and lets it reach the screen, so that repaints draw at once.
// False when the window never became exposed.
bool showAndExpose(TCGauge& gauge);

// Lets the event loop run until done() holds, for a bounded number of rounds; false when it
// never did.
bool processEventsUntil(const std::function<bool()>& done);


// Writes image as <build folder>/gauge-test-<name>.png so a failing picture can be looked at.
void saveForInspection(const QImage& image, const std::string& name);

}  // namespace gauge_testing
