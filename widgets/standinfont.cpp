// Chooses the stand-in face by asking the font database, and its pixel size by measuring:
// the size is the one whose QFontMetrics height equals the classic text height.
#include "widgets/standinfont.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>
#include <QtGlobal>

#include <array>

namespace qar {

namespace {

struct Candidate {
  const char* family;
  const char* debianFile;  // where the Debian package puts the regular face
};

constexpr std::array<Candidate, 2> kCandidates = {{
    {"DejaVu Sans", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"},
    {"Liberation Sans", "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"},
}};

bool familyInstalled(const QString& family) {
  return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

// The first candidate the font database knows, registering its file if needed; empty if none.
QString findCandidateFamily() {
  for (const Candidate& c : kCandidates) {
    if (familyInstalled(QString::fromLatin1(c.family))) return QString::fromLatin1(c.family);
  }
  for (const Candidate& c : kCandidates) {
    if (QFontDatabase::addApplicationFont(QString::fromLatin1(c.debianFile)) >= 0 &&
        familyInstalled(QString::fromLatin1(c.family))) {
      return QString::fromLatin1(c.family);
    }
  }
  return QString();
}

StandInFont chooseFont() {
  StandInFont result;
  QString family = findCandidateFamily();
  const bool preferred = !family.isEmpty();
  if (!preferred) family = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();

  QFont font(family);
  font.setStyleHint(QFont::SansSerif);
  // Smallest pixel size with the exact height; failing that, the largest that stays below.
  int exactSize = 0;
  int belowSize = 1;
  for (int pixels = 1; pixels <= 4 * kClassicTextHeight && exactSize == 0; ++pixels) {
    font.setPixelSize(pixels);
    const int height = QFontMetrics(font).height();
    if (height == kClassicTextHeight) exactSize = pixels;
    if (height < kClassicTextHeight) belowSize = pixels;
  }
  font.setPixelSize(exactSize != 0 ? exactSize : belowSize);

  result.font = font;
  result.exact = preferred && exactSize != 0;
  result.note = QStringLiteral("%1 at %2 px (text height %3 px)")
                    .arg(family)
                    .arg(font.pixelSize())
                    .arg(QFontMetrics(font).height());
  if (!preferred) {
    result.note += QStringLiteral("; DejaVu Sans and Liberation Sans are not installed");
  } else if (exactSize == 0) {
    result.note += QStringLiteral("; no pixel size gives a text height of %1 px")
                       .arg(kClassicTextHeight);
  }
  if (!result.exact) qWarning("Gauge font stand-in: %s", qPrintable(result.note));
  return result;
}

}  // namespace

const StandInFont& classicDialogFont() {
  static const StandInFont chosen = chooseFont();
  return chosen;
}

}  // namespace qar
