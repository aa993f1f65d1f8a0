// The installed face that stands in for "MS Sans Serif" at a character height of 13 pixels,
// the font the progress window's controls, and so its gauges, are set in. That font's text
// is 16 pixels high; the stand-in is sized to give the same text height.
#pragma once

#include <QFont>
#include <QString>

namespace qar {

// Text height (QFontMetrics::height) of "MS Sans Serif" at character height 13 px.
inline constexpr int kClassicTextHeight = 16;

struct StandInFont {
  QFont font;
  // False when neither DejaVu Sans nor Liberation Sans could be found and the desktop's
  // general font was taken instead, or when no pixel size gives the exact text height.
  bool exact = false;
  // Says what was chosen, and why when it is not the preferred face.
  QString note;
};

// Picks DejaVu Sans, else Liberation Sans (registering the Debian font files with the font
// database when fontconfig does not list them), else the general system font, at the pixel
// size whose text height is kClassicTextHeight. Needs a QGuiApplication; computed once.
const StandInFont& classicDialogFont();

}  // namespace qar
