// Changes to the bytes of one data page: starting an empty page, adding a row, marking a row
// deleted or moved, replacing a row's bytes in place. Knows nothing of tables or columns.
// Every function checks the page's own offsets before trusting them (Corrupt error).
#pragma once

#include <cstdint>
#include <span>

#include "jet/format/data_page.h"
#include "jet/format/types.h"

namespace jet::write {

struct PageSpec {
  Format format = Format::Jet4;
  uint32_t pageSize = 4096;
};

// Writes the header of an empty data page owned by ownerPage (a table definition page, or
// format::data::kLongValueOwner for a long-value page) over the whole page.
void initDataPage(const PageSpec& blueprint, uint8_t* page, uint32_t ownerPage);

uint16_t freeSpace(const PageSpec& blueprint, const uint8_t* page);
uint16_t rowCount(const PageSpec& blueprint, const uint8_t* page);
// The free space of a data page that holds no row.
uint16_t emptyPageFreeSpace(const PageSpec& blueprint);

// True when a row of length bytes (plus its 2-byte offset) fits on the page.
bool rowFits(const PageSpec& blueprint, const uint8_t* page, size_t length);

inline constexpr uint16_t kMaxRowsPerPage = format::data::kMaxRowsPerPage;

// Adds a row after the last one; flags go into its offset (0, or kDeletedRow for the moved
// bytes of a row that lives elsewhere). Returns its row number. The caller checks rowFits.
uint16_t addRow(const PageSpec& blueprint, uint8_t* page, std::span<const uint8_t> row, uint16_t flags = 0);

// Start and length of a row (flags removed); Corrupt when the page's offsets are impossible.
struct RowSpan {
  uint16_t start = 0;
  uint16_t length = 0;
  uint16_t flags = 0;
};
RowSpan rowSpan(const PageSpec& blueprint, const uint8_t* page, uint32_t pageNumber, uint16_t row);

// Sets flag bits on a row's offset (kDeletedRow | kOverflowRow marks a deleted row).
void setRowFlags(const PageSpec& blueprint, uint8_t* page, uint16_t row, uint16_t flags);

// Overwrites a row in place with bytes no longer than the row (the caller pads them).
void overwriteRow(const PageSpec& blueprint, uint8_t* page, uint32_t pageNumber, uint16_t row,
                  std::span<const uint8_t> bytes);

// Turns a row into a forward pointer to (targetPage, targetRow): writes the pointer into the
// row's first 4 bytes, zeroes the rest and sets the overflow flag.
void forwardRow(const PageSpec& blueprint, uint8_t* page, uint32_t pageNumber, uint16_t row, uint32_t targetPage,
                uint8_t targetRow);

}  // namespace jet::write
