// Where the eighteen table check boxes sit inside the "Database Table" group box: the pixel
// left edge of each of the three columns and the top of each of the six rows (96 dpi).
// Which table goes into which cell comes from the table catalogue.
#pragma once

#include <array>

namespace qar::app {

inline constexpr std::array<int, 3> kBoxColumnLeft{9, 176, 345};
inline constexpr std::array<int, 6> kBoxRowTop{22, 61, 101, 141, 181, 221};
inline constexpr int kBoxWidth = 152;
inline constexpr int kBoxHeight = 17;

// HolderData records refer to departments: ticking it without DepartmentData would carry
// holders whose departments never arrive, so the window ticks DepartmentData as well.
inline constexpr const char* kDependentTable = "HolderData";
inline constexpr const char* kRequiredTable = "DepartmentData";

}  // namespace qar::app
