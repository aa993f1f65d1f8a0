// Row-level edits of data pages.
#include "jet/write/data_page_writer.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/error.h"
#include "jet/codec/data_page_view.h"
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
  page[1] = fd::kPageMarker;
  put16(page + fd::kFreeSpace, emptyPageFreeSpace(blueprint));
  put32(page + fd::kOwner, ownerPage);
}

uint16_t freeSpace(const PageSpec&, const uint8_t* page) { return le16(page + fd::kFreeSpace); }

uint16_t rowCount(const PageSpec& blueprint, const uint8_t* page) {
  return codec::DataPageView(page, blueprint.pageSize, blueprint.format).rowCount();
}

bool rowFits(const PageSpec& blueprint, const uint8_t* page, size_t length) {
  codec::DataPageView view(page, blueprint.pageSize, blueprint.format);
  uint16_t count = view.rowCount();
  if (count >= kMaxRowsPerPage) return false;
  // The offsets table and the rows must not meet, whatever the free-space field says.
  uint32_t tableEnd = view.entryOffset(count + 1u);
  uint32_t lowest = view.lowestRowStart();
  if (lowest < tableEnd || lowest - tableEnd < length) return false;
  return length + fd::kRowOffsetSize <= view.freeSpace();
}

uint16_t addRow(const PageSpec& blueprint, uint8_t* page, std::span<const uint8_t> row, uint16_t flags) {
  codec::DataPageView view(page, blueprint.pageSize, blueprint.format);
  uint16_t count = view.rowCount();
  uint32_t start = view.lowestRowStart() - static_cast<uint32_t>(row.size());
  std::memcpy(page + start, row.data(), row.size());
  put16(page + view.entryOffset(count), static_cast<uint16_t>(start | flags));
  put16(page + fd::rowCountOffset(blueprint.format), static_cast<uint16_t>(count + 1));
  put16(page + fd::kFreeSpace, static_cast<uint16_t>(view.freeSpace() - row.size() - fd::kRowOffsetSize));
  return count;
}

RowSpan rowSpan(const PageSpec& blueprint, const uint8_t* page, uint32_t pageNumber, uint16_t row) {
  codec::DataPageView view(page, blueprint.pageSize, blueprint.format);
  if (row >= view.rowCount()) corrupt(pageNumber, "no row " + std::to_string(row));
  if (!view.rowTableFits()) corrupt(pageNumber, "row count too large");
  codec::RowEntry entry = view.entry(row);
  uint32_t end = view.rowEnd(row);
  if (!view.inRowArea(entry.start, end)) {
    // Deleted rows may be left with no bytes at all; they need none.
    if (entry.deleted()) {
      return RowSpan{static_cast<uint16_t>(std::min<uint32_t>(entry.start, blueprint.pageSize)), 0, entry.flags};
    }
    corrupt(pageNumber, "row " + std::to_string(row) + " lies outside the page");
  }
  return RowSpan{entry.start, static_cast<uint16_t>(end - entry.start), entry.flags};
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
  codec::encodeRowPointer(p, RowId{targetPage, targetRow});
  setRowFlags(blueprint, page, row, fd::kOverflowRow);
}

}  // namespace jet::write
