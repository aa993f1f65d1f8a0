// Finding rows on data pages: the row table, row bounds and flags, and following a moved
// row's forwarding pointer. Shared by table scans, long values, usage maps and the catalog.
#pragma once

#include <cstdint>

#include "jet/format/types.h"
#include "jet/pager/pager.h"

namespace jet {

struct RowSlot {
  uint16_t start = 0;  // first byte of the row on the page
  uint16_t end = 0;    // one past its last byte
  bool deleted = false;
  bool overflow = false;  // the row holds a pointer to where it now lives
  uint16_t size() const { return static_cast<uint16_t>(end - start); }
};

// Rows on a data page. Throws Corrupt (naming the page) when the page is not a data page or
// its row table does not fit.
uint16_t dataPageRowCount(const Page& page, Format format);

// Bounds and flags of row `row`. Bounds are checked for rows that are neither deleted nor
// moved (and for moved rows' 4-byte pointers); throws Corrupt naming page and row.
RowSlot dataPageRow(const Page& page, Format format, uint16_t row);

// The bytes of a live row: follows moved rows to where they live (at most a few hops).
// Returns false when the row is deleted (or row is past the page's row count and
// tolerateMissing is set). The returned page keeps the bytes alive.
struct RowBytes {
  PageRef page;
  RowId id;  // where the bytes are
  const uint8_t* data = nullptr;
  uint16_t size = 0;
};
bool readLiveRow(Pager& pager, Format format, RowId id, RowBytes& out);

}  // namespace jet
