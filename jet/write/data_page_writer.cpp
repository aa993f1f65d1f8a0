// Row-level edits of data pages.
#include "jet/write/data_page_writer.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/error.h"
#include "jet/format/data_page.h"
#include "jet/util/bytes.h"

namespace jet::write {
namespace fd = format::data;

namespace {

uint32_t slotOffset(const PageSpec& blueprint, uint16_t row) {
  return fd::rowTableOffset(blueprint.format) + fd::kRowOffsetSize * row;
}

[[noreturn]] void corrupt(uint32_t pageNumber, const std::string& what) {
  throw Error(ErrorKind::Corrupt, "data page " + std::to_string(pageNumber) + ": " + what);
}

}  // namespace

uint16_t emptyPageFreeSpace(const PageSpec& blueprint) {
  return static_cast<uint16_t>(blueprint.pageSize - fd::rowTableOffset(blueprint.format));
}

void initDataPage(const PageSpec& blueprint, uint8_t* page, uint32_t ownerPage) {
  std::memset(page, 0, blueprint.pageSize);
  page[0] = fd::kPageType;
  page[1] = 0x01;
  put16(page + fd::kFreeSpace, emptyPageFreeSpace(blueprint));
  put32(page + fd::kOwner, ownerPage);
}

uint16_t freeSpace(const PageSpec&, const uint8_t* page) { return le16(page + fd::kFreeSpace); }

uint16_t rowCount(const PageSpec& blueprint, const uint8_t* page) {
  return le16(page + fd::rowCountOffset(blueprint.format));
}

bool rowFits(const PageSpec& blueprint, const uint8_t* page, size_t length) {
  uint16_t count = rowCount(blueprint, page);
  if (count >= kMaxRowsPerPage) return false;
  // The offsets table and the rows must not meet, whatever the free-space field says.
  uint32_t tableEnd = slotOffset(blueprint, static_cast<uint16_t>(count + 1));
  uint32_t lowest = count == 0 ? blueprint.pageSize : (le16(page + slotOffset(blueprint, count - 1)) & fd::kRowOffsetMask);
  if (lowest < tableEnd || lowest - tableEnd < length) return false;
  return length + fd::kRowOffsetSize <= freeSpace(blueprint, page);
}

uint16_t addRow(const PageSpec& blueprint, uint8_t* page, std::span<const uint8_t> row, uint16_t flags) {
  uint16_t count = rowCount(blueprint, page);
  uint32_t end = count == 0 ? blueprint.pageSize : (le16(page + slotOffset(blueprint, count - 1)) & fd::kRowOffsetMask);
  uint32_t start = end - static_cast<uint32_t>(row.size());
  std::memcpy(page + start, row.data(), row.size());
  put16(page + slotOffset(blueprint, count), static_cast<uint16_t>(start | flags));
  put16(page + fd::rowCountOffset(blueprint.format), static_cast<uint16_t>(count + 1));
  put16(page + fd::kFreeSpace,
        static_cast<uint16_t>(freeSpace(blueprint, page) - row.size() - fd::kRowOffsetSize));
  return count;
}

RowSpan rowSpan(const PageSpec& blueprint, const uint8_t* page, uint32_t pageNumber, uint16_t row) {
  uint16_t count = rowCount(blueprint, page);
  if (row >= count) corrupt(pageNumber, "no row " + std::to_string(row));
  if (slotOffset(blueprint, count) > blueprint.pageSize) corrupt(pageNumber, "row count too large");
  uint16_t raw = le16(page + slotOffset(blueprint, row));
  uint32_t start = raw & fd::kRowOffsetMask;
  // A row ends where the row before it (in slot order) starts.
  uint32_t end = row == 0 ? blueprint.pageSize
                          : (le16(page + slotOffset(blueprint, static_cast<uint16_t>(row - 1))) & fd::kRowOffsetMask);
  if (start < slotOffset(blueprint, count) || start > end || end > blueprint.pageSize) {
    // Deleted rows may be left with no bytes at all; they need none.
    if (raw & fd::kDeletedRow) return RowSpan{static_cast<uint16_t>(std::min<uint32_t>(start, blueprint.pageSize)), 0,
                                              static_cast<uint16_t>(raw & ~fd::kRowOffsetMask)};
    corrupt(pageNumber, "row " + std::to_string(row) + " lies outside the page");
  }
  return RowSpan{static_cast<uint16_t>(start), static_cast<uint16_t>(end - start),
                 static_cast<uint16_t>(raw & ~fd::kRowOffsetMask)};
}

void setRowFlags(const PageSpec& blueprint, uint8_t* page, uint16_t row, uint16_t flags) {
  uint8_t* slot = page + slotOffset(blueprint, row);
  put16(slot, static_cast<uint16_t>(le16(slot) | flags));
}

void overwriteRow(const PageSpec& blueprint, uint8_t* page, uint32_t pageNumber, uint16_t row,
                  std::span<const uint8_t> bytes) {
  RowSpan span = rowSpan(blueprint, page, pageNumber, row);
  if (bytes.size() > span.length) corrupt(pageNumber, "new row bytes do not fit the old row");
  std::memcpy(page + span.start, bytes.data(), bytes.size());
  std::memset(page + span.start + bytes.size(), 0, span.length - bytes.size());
}

void forwardRow(const PageSpec& blueprint, uint8_t* page, uint32_t pageNumber, uint16_t row, uint32_t targetPage,
                uint8_t targetRow) {
  RowSpan span = rowSpan(blueprint, page, pageNumber, row);
  if (span.length < fd::kRowPointerSize) corrupt(pageNumber, "row too short for a forward pointer");
  uint8_t* p = page + span.start;
  std::memset(p, 0, span.length);
  p[0] = targetRow;
  put24(p + 1, targetPage);
  setRowFlags(blueprint, page, row, fd::kOverflowRow);
}

}  // namespace jet::write
