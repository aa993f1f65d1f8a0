// Chooses the stand-in face by measuring installed faces: the pixel size is the one whose
// QFontMetrics height equals the classic text height, and the face is the first candidate
// that is no wider than the classic font and sets the reference captions within their widths.
#include "widgets/standinfont.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <optional>

namespace qar {

// Autosized labels of the progress window, and its fixed table name box holding the longest
// table name.
const CaptionWidth kClassicCaptionWidths[5] = {
    {"Destination Table:", 116}, {"Copy Progress", 90},  {"Total Progress", 89},
    {"EmergencyDoorData", 116},  {"CRTimeZoneData", 116},
};

namespace {

struct Candidate {
  const char* family;
  const char* debianFile;  // where the Debian package puts the regular face
};

// Closest to the classic font's width first; the wide faces last, as fallbacks.
constexpr std::array<Candidate, 5> kCandidates = {{
    {"DejaVu Sans Condensed", "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf"},
    {"Liberation Sans Narrow",
     "/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Regular.ttf"},
    {"Nimbus Sans Narrow", ""},
    {"DejaVu Sans", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"},
    {"Liberation Sans", "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"},
}};
constexpr size_t kFirstFallback = 3;

bool familyInstalled(const QString& family) {
  return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

bool makeInstalled(const Candidate& c) {
  const QString family = QString::fromLatin1(c.family);
  if (familyInstalled(family)) return true;
  if (c.debianFile[0] == '\0') return false;
  return QFontDatabase::addApplicationFont(QString::fromLatin1(c.debianFile)) >= 0 &&
         familyInstalled(family);
}

// family at the smallest pixel size with the classic text height; failing that, the largest
// size that stays below it (second member false).
std::pair<QFont, bool> sizedFont(const QString& family) {
  QFont font(family);
  font.setStyleHint(QFont::SansSerif);
  int exactSize = 0;
  int belowSize = 1;
  for (int pixels = 1; pixels <= 4 * kClassicTextHeight && exactSize == 0; ++pixels) {
    font.setPixelSize(pixels);
    const int height = QFontMetrics(font).height();
    if (height == kClassicTextHeight) exactSize = pixels;
    if (height < kClassicTextHeight) belowSize = pixels;
  }
  font.setPixelSize(exactSize != 0 ? exactSize : belowSize);
  return {font, exactSize != 0};
}

bool meetsTheMeasures(const QFont& font) {
  const QFontMetrics metrics(font);
  if (metrics.averageCharWidth() > kClassicAverageCharWidth) return false;
  for (const CaptionWidth& caption : kClassicCaptionWidths) {
    if (metrics.horizontalAdvance(QString::fromLatin1(caption.text)) > caption.width) return false;
  }
  return true;
}

QString describe(const QFont& font) {
  const QFontMetrics metrics(font);
  return QStringLiteral("%1 at %2 px (text height %3 px, average character width %4 px)")
      .arg(font.family())
      .arg(font.pixelSize())
      .arg(metrics.height())
      .arg(metrics.averageCharWidth());
}

StandInFont chooseFont() {
  std::optional<std::pair<QFont, bool>> fallback;
  for (size_t i = 0; i < kCandidates.size(); ++i) {
    if (!makeInstalled(kCandidates[i])) continue;
    auto sized = sizedFont(QString::fromLatin1(kCandidates[i].family));
    if (sized.second && meetsTheMeasures(sized.first)) {
      return StandInFont{sized.first, true, describe(sized.first)};
    }
    if (i >= kFirstFallback && !fallback) fallback = sized;
  }

  StandInFont result;
  if (fallback) {
    result.font = fallback->first;
    result.note = describe(result.font) + QStringLiteral("; no installed face is as narrow as "
                                                         "\"MS Sans Serif\", captions may be cut");
  } else {
    const QString family = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    result.font = sizedFont(family).first;
    result.note = describe(result.font) +
                  QStringLiteral("; DejaVu Sans and Liberation Sans are not installed");
  }
  qWarning("Dialog font stand-in: %s", qPrintable(result.note));
  return result;
}

}  // namespace

const StandInFont& classicDialogFont() {
  static const StandInFont chosen = chooseFont();
  return chosen;
}

}  // namespace qar
