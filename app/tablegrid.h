// Where the eighteen table check boxes sit inside the "Database Table" group box: the pixel
// left edge of each of the three grid columns and the top of each of the six rows (96 dpi).
// Which table goes into which cell comes from the table catalogue.
#pragma once

#include <QRect>

#include <array>

#include "engine/catalogue.h"

namespace qar::app {

inline constexpr std::array<int, kGridColumns> kBoxColumnLeft{9, 176, 345};
inline constexpr std::array<int, kGridRows> kBoxRowTop{22, 61, 101, 141, 181, 221};
inline constexpr int kBoxWidth = 152;
inline constexpr int kBoxHeight = 17;

// The box of a catalogue entry, in the group box's coordinates; raises qar::Exception when
// its cell lies outside the grid.
QRect tableBoxRect(const CatalogueEntry& entry);

}  // namespace qar::app
