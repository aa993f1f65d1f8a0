// Packing of data pages: rows moved towards the page end in row-number order.
#include "jet/write/page_packer.h"

#include <cstring>
#include <vector>

#include "jet/codec/data_page_room.h"
#include "jet/codec/data_page_view.h"
#include "jet/util/bytes.h"

namespace jet::write {
namespace fd = format::data;

bool rowFitsPacked(const PageSpec& blueprint, const uint8_t* page, size_t length) {
  if (rowFits(blueprint, page, length)) return true;  // room without packing
  codec::DataPageView view(page, blueprint.pageSize, blueprint.format);
  if (view.rowCount() >= kMaxRowsPerPage) return false;
  return length + fd::kRowOffsetSize <= codec::reclaimableRoom(view);
}

void packRows(const PageSpec& blueprint, uint8_t* page, uint32_t pageNumber) {
  codec::DataPageView view(page, blueprint.pageSize, blueprint.format);
  const uint16_t count = view.rowCount();
  // Every row's bounds are checked (rowSpan throws) before the page changes.
  std::vector<RowSpan> spans(count);
  std::vector<uint16_t> keep(count);
  for (uint16_t r = 0; r < count; ++r) {
    spans[r] = rowSpan(blueprint, page, pageNumber, r);
    keep[r] = static_cast<uint16_t>(codec::packedLength(codec::decodeRowEntry(spans[r].flags), spans[r].length));
  }
  const std::vector<uint8_t> old(page, page + blueprint.pageSize);
  const uint32_t tableEnd = view.rowTableEnd();
  std::memset(page + tableEnd, 0, blueprint.pageSize - tableEnd);
  uint32_t end = blueprint.pageSize;
  for (uint16_t r = 0; r < count; ++r) {
    const uint32_t start = end - keep[r];
    std::memcpy(page + start, old.data() + spans[r].start, keep[r]);
    put16(page + view.entryOffset(r), static_cast<uint16_t>(start | spans[r].flags));
    end = start;
  }
  put16(page + fd::kFreeSpace, static_cast<uint16_t>(end - tableEnd));
}

}  // namespace jet::write
