// Usage map decoding.
#include "jet/usage_map.h"

#include "jet/codec/usage_map_view.h"
#include "jet/data_rows.h"
#include "jet/error.h"
#include "jet/format/usage_map.h"

namespace jet {

namespace um = format::usagemap;

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
  codec::UsageMapView map(page->data() + slot.start, slot.size(), pager.pageSize());
  info.type = map.type();
  if (map.isInline()) {
    if (slot.size() < um::kInlineBitmap) {
      throw Error(ErrorKind::Corrupt, "page " + std::to_string(ref.page) + ": usage map row too short");
    }
    info.inlineStart = map.inlineStart();
  } else if (!map.isReferenced()) {
    throw Error(ErrorKind::Corrupt, "page " + std::to_string(ref.page) + ": unknown usage map type " +
                                        std::to_string(info.type));
  }
  PageRef bits;  // keeps the bitmap page being read alive
  codec::forEachMappedPage(
      map, pager.pageCount(),
      [&](uint32_t mapPage) -> const uint8_t* {
        bits = pager.read(mapPage);
        if (!codec::isMapPage(bits->data())) {
          throw Error(ErrorKind::Corrupt, "page " + std::to_string(mapPage) +
                                              " should be a usage bitmap page but is of type " +
                                              std::to_string(bits->bytes[0]));
        }
        return bits->data();
      },
      [&](uint32_t, uint32_t mapPage) { info.mapPages.push_back(mapPage); },
      [&](uint32_t p) { info.pages.push_back(p); }, &info.pastEnd);
  return info;
}

}  // namespace jet
