// The fonts of the main window. Its controls use the stand-in for "MS Sans Serif" at a
// character height of 13 px that the progress window and its gauges use, unless a caption
// would not fit its box in that face; then Liberation Sans (Arial's metrics, narrower) at the
// same text height. The footer strip uses the chosen face sized like "Microsoft Sans Serif"
// at 11 px, whose text is 13 px high.
#pragma once

#include <QFont>

#include <functional>

namespace qar::app {

// Text height (QFontMetrics::height) of "MS Sans Serif" at character height 13 px.
inline constexpr int kDialogTextHeight = 16;
// Text height of "Microsoft Sans Serif" at character height 11 px.
inline constexpr int kFooterTextHeight = 13;

// base at the largest pixel size whose text height does not exceed textHeight.
QFont sizedToTextHeight(QFont base, int textHeight);

// The first candidate face for which fits() holds: the progress window's stand-in font,
// then Liberation Sans when it is installed. When none fits, the stand-in font.
QFont dialogFont(const std::function<bool(const QFont&)>& fits);

}  // namespace qar::app
