// TFormBorderStyle, the border enumeration windows and the gauge share. The numeric values
// are fixed: settings and callers pass them as plain numbers.
#pragma once

#include <cstdint>

enum TFormBorderStyle : std::uint8_t {
  bsNone = 0,
  bsSingle = 1,
  bsSizeable = 2,
  bsDialog = 3,
  bsToolWindow = 4,
  bsSizeToolWin = 5,
};

// The last defined value; anything above it is not a border style.
inline constexpr std::uint8_t kLastFormBorderStyle = bsSizeToolWin;
