// Usage map edits: inline bitmaps, moving their first page, promotion to map pages.
#include "jet/write/usage_map_writer.h"

#include <algorithm>
#include <cstring>

#include "jet/codec/usage_map_view.h"
#include "jet/error.h"
#include "jet/format/usage_map.h"
#include "jet/util/bytes.h"

namespace jet::write {
namespace fu = format::usagemap;

UsageMapWriter::UsageMapWriter(WriteContext& ctx, uint32_t mapPage, uint16_t mapRow)
    : ctx_(ctx), mapPage_(mapPage), mapRow_(mapRow) {}

UsageMapWriter::Row UsageMapWriter::locate() {
  const uint8_t* page = ctx_.read(mapPage_);
  RowSpan span = rowSpan(ctx_.blueprint(), page, mapPage_, mapRow_);
  if (span.length < fu::kInlineBitmap) {
    throw Error(ErrorKind::Corrupt, "page " + std::to_string(mapPage_) + ": usage map row " +
                                        std::to_string(mapRow_) + " is too short");
  }
  Row row{span.start, span.length, page[span.start + fu::kType]};
  if (row.type != fu::kInlineType && row.type != fu::kReferenceType) {
    throw Error(ErrorKind::Corrupt, "page " + std::to_string(mapPage_) + ": unknown usage map type " +
                                        std::to_string(row.type));
  }
  return row;
}

codec::UsageMapView UsageMapWriter::view(const Row& row) {
  return codec::UsageMapView(ctx_.read(mapPage_) + row.start, row.length, ctx_.blueprint().pageSize);
}

std::vector<uint32_t> UsageMapWriter::pages() {
  Row row = locate();
  const uint32_t pageCount = ctx_.pager().pageCount();
  // A copy of the map row: reading the bitmap pages may push the map's page out of the cache.
  const uint8_t* at = ctx_.read(mapPage_) + row.start;
  std::vector<uint8_t> bytes(at, at + row.length);
  std::vector<uint32_t> out;
  codec::forEachMappedPage(
      codec::UsageMapView(bytes.data(), row.length, ctx_.blueprint().pageSize), pageCount,
      [&](uint32_t bitmapPage) {
        if (bitmapPage >= pageCount) {
          throw Error(ErrorKind::Corrupt, "usage map names page " + std::to_string(bitmapPage) + " past the end");
        }
        const uint8_t* bp = ctx_.read(bitmapPage);
        if (!codec::isMapPage(bp)) {
          throw Error(ErrorKind::Corrupt, "usage map page " + std::to_string(bitmapPage) + " has the wrong type");
        }
        return bp;
      },
      [](uint32_t, uint32_t) {}, [&](uint32_t page) { out.push_back(page); });
  return out;
}

bool UsageMapWriter::contains(uint32_t page) {
  Row row = locate();
  codec::UsageMapView map = view(row);
  if (map.isInline()) return map.inlineCovers(page) && codec::testBit(map.inlineBitmap(), page - map.inlineStart());
  const uint32_t pageCount = ctx_.pager().pageCount();
  uint32_t index = map.slotOf(page);
  if (index >= map.slots()) return false;
  uint32_t bitmapPage = map.mapPage(index, pageCount);
  if (bitmapPage == 0 || bitmapPage >= pageCount) return false;
  return codec::testBit(ctx_.read(bitmapPage) + fu::kMapPageBitmap, page - index * map.perMapPage());
}

bool UsageMapWriter::setCovered(const Row& row, uint32_t page, bool on) {
  if (row.type == fu::kReferenceType) {
    setReference(row, page, on);
    return true;
  }
  codec::UsageMapView map = view(row);
  if (!map.inlineCovers(page)) return false;
  const uint32_t bit = page - map.inlineStart();
  codec::setBit(ctx_.modify(mapPage_) + row.start + fu::kInlineBitmap, bit, on);
  return true;
}

void UsageMapWriter::add(uint32_t page) {
  Row row = locate();
  if (setCovered(row, page, true)) return;
  uint32_t bits = view(row).inlineBits();
  std::vector<uint32_t> current = pages();
  current.push_back(page);
  std::sort(current.begin(), current.end());
  uint32_t first = current.front() / 8 * 8;  // a map's first page is a multiple of 8
  if (current.back() - first < bits) {
    rewriteInline(row, first, current);
  } else {
    promote(row, current);
  }
}

void UsageMapWriter::remove(uint32_t page, bool keepForm) {
  Row row = locate();
  setCovered(row, page, false);  // a page the map does not cover is already absent
  if (row.type == fu::kReferenceType && !keepForm) demoteIfSmall(row);
}

void UsageMapWriter::clear() {
  Row row = locate();
  std::vector<uint32_t> bitmapPages;
  if (row.type == fu::kReferenceType) {
    const uint32_t pageCount = ctx_.pager().pageCount();
    codec::UsageMapView map = view(row);
    for (uint32_t j = 0; j < map.slots(); ++j) {
      if (uint32_t bp = map.mapPage(j, pageCount); bp != 0 && bp < pageCount) bitmapPages.push_back(bp);
    }
  }
  ctx_.modify(mapPage_)[row.start + fu::kType] = fu::kInlineType;
  row.type = fu::kInlineType;
  rewriteInline(row, 0, {});
  for (uint32_t bp : bitmapPages) ctx_.release(bp);
}

void UsageMapWriter::demoteIfSmall(const Row& row) {
  std::vector<uint32_t> current = pages();
  const uint32_t first = current.empty() ? 0 : current.front() / 8 * 8;
  if (!current.empty() && current.back() - first >= view(row).inlineBits()) return;
  // Few enough pages for the inline form again: its bitmap pages go back to the database.
  const uint32_t pageCount = ctx_.pager().pageCount();
  std::vector<uint32_t> bitmapPages;
  {
    codec::UsageMapView map = view(row);
    for (uint32_t j = 0; j < map.slots(); ++j) {
      if (uint32_t bp = map.mapPage(j, pageCount); bp != 0 && bp < pageCount) bitmapPages.push_back(bp);
    }
  }
  uint8_t* p = ctx_.modify(mapPage_) + row.start;
  p[fu::kType] = fu::kInlineType;
  Row inlined = row;
  inlined.type = fu::kInlineType;
  rewriteInline(inlined, first, current);
  for (uint32_t bp : bitmapPages) ctx_.release(bp);
}

void UsageMapWriter::rewriteInline(const Row& row, uint32_t start, const std::vector<uint32_t>& pages) {
  uint8_t* p = ctx_.modify(mapPage_) + row.start;
  std::memset(p + 1, 0, row.length - 1);
  put32(p + fu::kInlineStart, start);
  for (uint32_t page : pages) codec::setBit(p + fu::kInlineBitmap, page - start, true);
}

void UsageMapWriter::promote(const Row& row, const std::vector<uint32_t>& pages) {
  uint8_t* p = ctx_.modify(mapPage_) + row.start;
  std::memset(p, 0, row.length);
  p[fu::kType] = fu::kReferenceType;
  Row promoted = row;
  promoted.type = fu::kReferenceType;
  for (uint32_t page : pages) setReference(promoted, page, true);
}

void UsageMapWriter::setReference(const Row& row, uint32_t page, bool on) {
  codec::UsageMapView map = view(row);
  uint32_t index = map.slotOf(page);
  if (index >= map.slots()) {
    if (!on) return;
    throw Error(ErrorKind::Unsupported, "page " + std::to_string(page) + " is beyond what the usage map on page " +
                                            std::to_string(mapPage_) + " can describe");
  }
  const uint32_t pageCount = ctx_.pager().pageCount();
  uint32_t slotAt = row.start + codec::UsageMapView::slotOffset(index);
  uint32_t bitmapPage = map.mapPage(index, pageCount);
  if (bitmapPage == 0) {
    if (!on) return;
    bitmapPage = ctx_.allocate();
    codec::initMapPage(ctx_.modify(bitmapPage));
    put32(ctx_.modify(mapPage_) + slotAt, bitmapPage);
  } else if (bitmapPage >= ctx_.pager().pageCount() || !codec::isMapPage(ctx_.read(bitmapPage))) {
    throw Error(ErrorKind::Corrupt, "usage map on page " + std::to_string(mapPage_) + " names page " +
                                        std::to_string(bitmapPage) + ", which is not a map page");
  }
  uint8_t* bits = ctx_.modify(bitmapPage) + fu::kMapPageBitmap;
  const uint32_t bit = page - index * map.perMapPage();
  codec::setBit(bits, bit, on);
  // A bitmap page left without pages goes back to the database (a missing one lists none).
  if (!on && bits[bit / 8] == 0 &&
      std::all_of(bits, bits + map.perMapPage() / 8, [](uint8_t b) { return b == 0; })) {
    put32(ctx_.modify(mapPage_) + slotAt, 0);
    ctx_.release(bitmapPage);
  }
}

}  // namespace jet::write
