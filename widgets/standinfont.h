// The installed face that stands in for "MS Sans Serif" at a character height of 13 pixels,
// the font both windows' controls, and so the gauges, are set in. That font's text is 16
// pixels high and about 6 pixels wide per character; the stand-in is chosen and sized by
// measuring installed faces against both figures and against captions of known width.
#pragma once

#include <QFont>
#include <QString>

namespace qar {

// Text height (QFontMetrics::height) of "MS Sans Serif" at character height 13 px.
inline constexpr int kClassicTextHeight = 16;
// Its average character width, the most a stand-in's QFontMetrics::averageCharWidth may be.
inline constexpr int kClassicAverageCharWidth = 6;

// A caption and the width in pixels it took in "MS Sans Serif" at character height 13 (the
// width of a label sized to its text), or the width of the fixed box that had to hold it.
struct CaptionWidth {
  const char* text;
  int width;
};
// The captions a stand-in must set within those widths.
extern const CaptionWidth kClassicCaptionWidths[5];

struct StandInFont {
  QFont font;
  // False when no installed face meets the measures and a fallback was taken (DejaVu Sans,
  // else Liberation Sans, else the desktop's general font, at the classic text height), or
  // when no pixel size gives the exact text height.
  bool exact = false;
  // Says what was chosen, and why when it is not the preferred face.
  QString note;
};

// Tries the candidate faces in turn (registering the Debian font files with the font database
// when fontconfig does not list them), each at the pixel size whose text height is
// kClassicTextHeight, and takes the first whose average character width is at most
// kClassicAverageCharWidth and that sets every caption of kClassicCaptionWidths within its
// width. Needs a QGuiApplication; computed once.
const StandInFont& classicDialogFont();

}  // namespace qar
