// Packing a data page's rows: the row area is laid out again without the bytes of deleted
// rows and with moved rows cut to their forward pointer, so a new row finds the room they
// took. Every row keeps its row number and flags (row numbers are the row ids indexes and
// forward pointers name); a deleted row stays listed, with no bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jet/write/data_page_writer.h"

namespace jet::write {

// True when a row of length bytes fits the page once packed (and a row number is left).
bool rowFitsPacked(const PageSpec& blueprint, const uint8_t* page, size_t length);

// Packs the page in place; the free-space field then holds every free byte. Corrupt (and
// the page unchanged) when its offsets are impossible.
void packRows(const PageSpec& blueprint, uint8_t* page, uint32_t pageNumber);

}  // namespace jet::write
