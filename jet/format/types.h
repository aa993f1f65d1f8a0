// The few basic types every layer of the engine speaks: which Jet version a file is, and
// where a row lives. The public API (jet/database.h) passes them on unchanged.
#pragma once

#include <cstdint>

namespace jet {

// The file's Jet version: Jet 3 (Access 97) or Jet 4 (Access 2000-2003). Each on-disk layout
// is chosen by it.
enum class Format { Jet3, Jet4 };

// Where a row lives: data page and row number on it. Stays valid across updates
// (a moved row leaves a forward pointer behind) until the row is deleted.
struct RowId {
  uint32_t page = 0;
  uint16_t row = 0;
  friend bool operator==(const RowId&, const RowId&) = default;
  friend auto operator<=>(const RowId&, const RowId&) = default;
};

}  // namespace jet
