// Picks and sizes the main window's fonts.
#include "app/uifont.h"

#include <QFontInfo>
#include <QFontMetrics>

#include "widgets/standinfont.h"

namespace qar::app {

QFont sizedToTextHeight(QFont base, int textHeight) {
  int best = 1;
  for (int pixels = 1; pixels <= textHeight; ++pixels) {
    base.setPixelSize(pixels);
    if (QFontMetrics(base).height() <= textHeight) best = pixels;
  }
  base.setPixelSize(best);
  return base;
}

QFont dialogFont(const std::function<bool(const QFont&)>& fits) {
  const QFont standIn = classicDialogFont().font;
  if (fits(standIn)) return standIn;
  QFont narrow(QStringLiteral("Liberation Sans"));
  narrow.setStyleHint(QFont::SansSerif);
  narrow = sizedToTextHeight(narrow, kDialogTextHeight);
  if (QFontInfo(narrow).family().compare(narrow.family(), Qt::CaseInsensitive) == 0 &&
      fits(narrow)) {
    return narrow;
  }
  return standIn;
}

}  // namespace qar::app
