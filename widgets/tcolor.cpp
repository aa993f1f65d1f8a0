// Resolves TColor values: RGB colours are unpacked from 0x00BBGGRR, system colours are taken
// from the application palette by the role that plays the same part on a Qt desktop.
#include "widgets/tcolor.h"

#include <QGuiApplication>
#include <QPalette>

#include <array>

namespace {

struct SystemColorRole {
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
};

// Windows system colour index -> palette entry, for indexes 0 to 24.
constexpr std::array<SystemColorRole, 25> kSystemColorRoles = {{
    {QPalette::Active, QPalette::Button},             // 0 scroll bar
    {QPalette::Active, QPalette::Window},             // 1 desktop background
    {QPalette::Active, QPalette::Highlight},          // 2 active caption
    {QPalette::Inactive, QPalette::Mid},              // 3 inactive caption
    {QPalette::Active, QPalette::Window},             // 4 menu
    {QPalette::Active, QPalette::Base},               // 5 window
    {QPalette::Active, QPalette::WindowText},         // 6 window frame
    {QPalette::Active, QPalette::WindowText},         // 7 menu text
    {QPalette::Active, QPalette::Text},               // 8 window text
    {QPalette::Active, QPalette::HighlightedText},    // 9 caption text
    {QPalette::Active, QPalette::Button},             // 10 active border
    {QPalette::Inactive, QPalette::Button},           // 11 inactive border
    {QPalette::Active, QPalette::Dark},               // 12 application work space
    {QPalette::Active, QPalette::Highlight},          // 13 highlight
    {QPalette::Active, QPalette::HighlightedText},    // 14 highlighted text
    {QPalette::Active, QPalette::Button},             // 15 button face
    {QPalette::Active, QPalette::Dark},               // 16 button shadow
    {QPalette::Disabled, QPalette::Text},             // 17 grey text
    {QPalette::Active, QPalette::ButtonText},         // 18 button text
    {QPalette::Inactive, QPalette::WindowText},       // 19 inactive caption text
    {QPalette::Active, QPalette::Light},              // 20 button highlight
    {QPalette::Active, QPalette::Shadow},             // 21 3-D dark shadow
    {QPalette::Active, QPalette::Midlight},           // 22 3-D light
    {QPalette::Active, QPalette::ToolTipText},        // 23 tool tip text
    {QPalette::Active, QPalette::ToolTipBase},        // 24 tool tip background
}};

QPalette applicationPalette() {
  // Without an application object there is no desktop to ask; Qt's built-in palette serves.
  return qGuiApp != nullptr ? QGuiApplication::palette() : QPalette();
}

}  // namespace

TColor FromQColor(const QColor& color) {
  const QRgb rgb = color.rgb();
  return static_cast<TColor>(qRed(rgb)) | (static_cast<TColor>(qGreen(rgb)) << 8) |
         (static_cast<TColor>(qBlue(rgb)) << 16);
}

TColor ColorToRGB(TColor c) {
  if (!IsSystemColor(c)) return c & 0x00FFFFFF;
  const TColor index = c & ~kSystemColorFlag;
  if (index >= kSystemColorRoles.size()) return clBlack;
  const SystemColorRole& entry = kSystemColorRoles[index];
  return FromQColor(applicationPalette().color(entry.group, entry.role));
}

QColor ToQColor(TColor c) {
  const TColor rgb = ColorToRGB(c);
  return QColor(static_cast<int>(rgb & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                static_cast<int>((rgb >> 16) & 0xFF));
}
