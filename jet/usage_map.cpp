// Usage map decoding.
#include "jet/usage_map.h"

#include "jet/data_rows.h"
#include "jet/error.h"
#include "jet/format/usage_map.h"
#include "jet/util/bytes.h"

namespace jet {

namespace um = format::usagemap;

namespace {

void addBits(const uint8_t* bitmap, size_t bytes, uint64_t firstPage, uint32_t pageCount, std::vector<uint32_t>& out,
             uint32_t& pastEnd) {
  for (size_t i = 0; i < bytes; ++i) {
    uint8_t b = bitmap[i];
    if (!b) continue;
    for (int bit = 0; bit < 8; ++bit) {
      if (!(b & (1u << bit))) continue;
      uint64_t page = firstPage + i * 8 + bit;
      if (page < pageCount) {
        out.push_back(static_cast<uint32_t>(page));
      } else {
        ++pastEnd;
      }
    }
  }
}

}  // namespace

UsageMapInfo readUsageMap(Pager& pager, Format format, RowRef ref) {
  UsageMapInfo info;
  info.where = ref;
  if (!ref.valid()) throw Error(ErrorKind::Corrupt, "usage map reference points at page 0");
  PageRef page = pager.read(ref.page);
  RowSlot slot = dataPageRow(*page, format, ref.row);
  if (slot.deleted || slot.overflow || slot.size() < 1) {
    throw Error(ErrorKind::Corrupt, "page " + std::to_string(ref.page) + ": usage map row " + std::to_string(ref.row) +
                                        " is missing");
  }
  const uint8_t* row = page->data() + slot.start;
  info.type = row[um::kType];
  uint32_t pageCount = pager.pageCount();
  if (info.type == um::kInlineType) {
    if (slot.size() < um::kInlineBitmap) {
      throw Error(ErrorKind::Corrupt, "page " + std::to_string(ref.page) + ": usage map row too short");
    }
    info.inlineStart = le32(row + um::kInlineStart);
    addBits(row + um::kInlineBitmap, slot.size() - um::kInlineBitmap, info.inlineStart, pageCount, info.pages,
            info.pastEnd);
  } else if (info.type == um::kReferenceType) {
    size_t pointers = (slot.size() - um::kReferencePages) / um::kReferencePointerSize;
    uint64_t perMapPage = static_cast<uint64_t>(pager.pageSize() - um::kMapPageBitmap) * 8;
    for (size_t j = 0; j < pointers; ++j) {
      uint32_t mapPage = le32(row + um::kReferencePages + j * um::kReferencePointerSize);
      // Bitmap pages for pages past the end of the file are not looked at: Access leaves
      // stale bytes in those pointers when it turns an inline map into a referenced one.
      if (j * perMapPage >= pageCount) mapPage = 0;
      info.mapPages.push_back(mapPage);
      if (mapPage == 0) continue;
      PageRef bits = pager.read(mapPage);
      if (bits->bytes[0] != um::kMapPageType) {
        throw Error(ErrorKind::Corrupt, "page " + std::to_string(mapPage) + " should be a usage bitmap page but is of type " +
                                            std::to_string(bits->bytes[0]));
      }
      addBits(bits->data() + um::kMapPageBitmap, bits->size() - um::kMapPageBitmap, j * perMapPage, pageCount,
              info.pages, info.pastEnd);
    }
  } else {
    throw Error(ErrorKind::Corrupt, "page " + std::to_string(ref.page) + ": unknown usage map type " +
                                        std::to_string(info.type));
  }
  return info;
}

}  // namespace jet
