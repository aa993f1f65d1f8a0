// Stores Memo and OLE values outside their rows: one long-value row when the value fits a
// page, a chain of long-value rows beyond that; and releases them again when a row is
// deleted or its value replaced. Long-value pages are shared by every table of the file.
// Jet 3 and Jet 4 files alike: the page layout and row sizes follow the file's blueprint.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/format/long_value.h"
#include "jet/write/write_context.h"

namespace jet::write {

class LongValueWriter {
 public:
  explicit LongValueWriter(WriteContext& ctx) : ctx_(ctx) {}

  // Writes payload to long-value pages; returns the 12-byte reference for the row.
  std::vector<uint8_t> store(const std::vector<uint8_t>& payload);

  // Marks the long-value rows a stored reference names as deleted; a long-value page left
  // with no live row goes back to the page map. Inline references need nothing.
  void release(const uint8_t* ref, size_t refLen);

  // Forgets the page being filled (after an undone operation it may no longer exist).
  void reset() { current_ = 0; }

  // The longest value kept in a single long-value row (2032 bytes on Jet 3's 2 KB pages,
  // 4076 on Jet 4's); longer ones are chained in rows of that size.
  uint32_t maxSingleRow() const { return format::longvalue::maxSingleRow(ctx_.blueprint().format); }

 private:
  struct Place {
    uint32_t page;
    uint16_t row;
  };
  Place put(const std::vector<uint8_t>& row);
  bool usable(uint32_t page);

  WriteContext& ctx_;
  uint32_t current_ = 0;  // long-value page with room left, 0 when none
};

}  // namespace jet::write
