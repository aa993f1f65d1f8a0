// Reuse of the pages the database's page map (page 1) lists as free: the writer takes the
// lowest one before it extends the file, and a flush cuts the free pages at the end off.
#include <algorithm>
#include <cstring>
#include <vector>

#include "jet/codec/usage_map_view.h"
#include "jet/error.h"
#include "jet/format/usage_map.h"
#include "jet/util/bytes.h"
#include "jet/write/write_context.h"

namespace jet::write {
namespace fu = format::usagemap;

namespace {

// Pages 0 (the header) and 1 (the map itself) are never free.
constexpr uint32_t kFirstUsablePage = 2;

// The lowest set bit at or past `from` among `bits` bits, or bits when none. Bit i is bit
// i % 8 of byte i / 8; zero bytes are passed over eight at a time.
uint32_t lowestSetBit(const uint8_t* bitmap, uint32_t bits, uint32_t from) {
  uint32_t bit = from;
  while (bit < bits && bit % 8 != 0) {
    if (codec::testBit(bitmap, bit)) return bit;
    ++bit;
  }
  for (; bits - bit >= 64 && bit < bits; bit += 64) {
    const uint64_t word = le64(bitmap + bit / 8);
    if (word != 0) return bit + static_cast<uint32_t>(__builtin_ctzll(word));
  }
  for (; bit < bits; ++bit) {
    if (codec::testBit(bitmap, bit)) return bit;
  }
  return bits;
}

}  // namespace

bool WriteContext::isFreeInMap(uint32_t page) {
  if (page < kFirstUsablePage || page >= pager_.pageCount()) return false;
  const uint8_t* mapPage = read(fu::kDatabaseMapPage);
  RowSpan span = rowSpan(spec_, mapPage, fu::kDatabaseMapPage, fu::kDatabaseMapRow);
  if (span.length < fu::kInlineBitmap) return false;
  codec::UsageMapView map(mapPage + span.start, span.length, spec_.pageSize);
  if (map.isInline()) {
    return map.inlineCovers(page) && codec::testBit(map.inlineBitmap(), page - map.inlineStart());
  }
  if (!map.isReferenced()) return false;
  const uint32_t index = map.slotOf(page);
  if (index >= map.slots()) return false;
  const uint32_t bitmapPage = map.mapPage(index, pager_.pageCount());
  if (bitmapPage == 0 || bitmapPage >= pager_.pageCount()) return false;
  const uint8_t* bits = read(bitmapPage);
  if (!codec::isMapPage(bits)) return false;
  return codec::testBit(bits + fu::kMapPageBitmap, page - index * map.perMapPage());
}

bool WriteContext::stillClaimed(uint32_t page) {
  if (!claimedSource_) return false;
  if (!claimedLoaded_) {
    claimed_.clear();
    claimedUnknown_ = false;
    try {
      for (uint32_t p : claimedSource_()) {
        if (p >= claimed_.size()) claimed_.resize(std::max<size_t>(p + 1, pager_.pageCount()), false);
        claimed_[p] = true;
      }
    } catch (const Error&) {
      // Who owns what cannot be read: no page the map lists as free is safe to take.
      claimedUnknown_ = true;
    }
    claimedLoaded_ = true;
  }
  return claimedUnknown_ || (page < claimed_.size() && claimed_[page]);
}

uint32_t WriteContext::takeFreePage() {
  const uint32_t pageCount = pager_.pageCount();
  uint32_t from = std::max(freeSearchFrom_, kFirstUsablePage);
  if (from >= pageCount) return 0;
  const uint8_t* mapPage = read(fu::kDatabaseMapPage);
  RowSpan span = rowSpan(spec_, mapPage, fu::kDatabaseMapPage, fu::kDatabaseMapRow);
  if (span.length < fu::kInlineBitmap) return 0;  // globalMapSet reports the damage
  // A copy: reading bitmap pages may push page 1 out of the cache.
  std::vector<uint8_t> row(mapPage + span.start, mapPage + span.start + span.length);
  codec::UsageMapView map(row.data(), span.length, spec_.pageSize);
  // The lowest page at or past `from` the map lists as free, or 0.
  auto lowestFree = [&](uint32_t from) -> uint32_t {
    if (map.isInline()) {
      const uint32_t start = map.inlineStart();
      const uint32_t first = from > start ? from - start : 0;
      const uint32_t bit = lowestSetBit(map.inlineBitmap(), map.inlineBits(), first);
      if (bit < map.inlineBits() && static_cast<uint64_t>(start) + bit < pageCount) return start + bit;
      return 0;
    }
    if (!map.isReferenced()) return 0;
    for (uint32_t j = map.slotOf(from); j < map.slots(); ++j) {
      const uint64_t base = static_cast<uint64_t>(j) * map.perMapPage();
      if (base >= pageCount) break;
      const uint32_t bitmapPage = map.mapPage(j, pageCount);
      if (bitmapPage == 0 || bitmapPage >= pageCount) continue;
      const uint8_t* bits = read(bitmapPage);
      if (!codec::isMapPage(bits)) continue;
      const uint32_t first = from > base ? static_cast<uint32_t>(from - base) : 0;
      // Bits past the last page name no page.
      const uint32_t reach = static_cast<uint32_t>(std::min<uint64_t>(map.perMapPage(), pageCount - base));
      const uint32_t bit = lowestSetBit(bits + fu::kMapPageBitmap, reach, first);
      if (bit < reach) return static_cast<uint32_t>(base + bit);
    }
    return 0;
  };
  uint32_t found = lowestFree(from);
  // A page some object still names stays where it is, free in the map or not.
  while (found >= kFirstUsablePage && stillClaimed(found)) found = found + 1 < pageCount ? lowestFree(found + 1) : 0;
  if (found < kFirstUsablePage) {
    freeSearchFrom_ = pageCount;
    return 0;
  }
  freeSearchFrom_ = found + 1;
  // Free when the file was last flushed, and named by no object: its old bytes guard nothing.
  // (Without a claims source a page some object still names could be taken: keep them.)
  const bool freeInFile = found >= freedSinceFlush_.size() || !freedSinceFlush_[found];
  if (freeInFile && claimedSource_) pager_.oldBytesUnneeded(found);
  std::memset(modify(found), 0, spec_.pageSize);
  globalMapSet(found, false);
  return found;
}

bool WriteContext::moveMapPageDown(uint32_t page) {
  const uint8_t* mapPage = read(fu::kDatabaseMapPage);
  RowSpan span = rowSpan(spec_, mapPage, fu::kDatabaseMapPage, fu::kDatabaseMapRow);
  if (span.length < fu::kInlineBitmap) return false;
  codec::UsageMapView map(mapPage + span.start, span.length, spec_.pageSize);
  if (!map.isReferenced()) return false;
  uint32_t slot = map.slots();
  for (uint32_t j = 0; j < map.slots(); ++j) {
    if (map.mapPage(j, pager_.pageCount()) == page) slot = j;
  }
  if (slot == map.slots()) return false;
  // The lowest free page of all: the search hint may have passed pages freed while the map
  // changed form.
  freeSearchFrom_ = 0;
  const uint32_t lower = takeFreePage();  // marked used in the bitmap about to move
  if (lower == 0 || lower > page) return false;
  std::memcpy(modify(lower), read(page), spec_.pageSize);
  put32(modify(fu::kDatabaseMapPage) + span.start + codec::UsageMapView::slotOffset(slot), lower);
  globalMapSet(page, true);
  if (page < claimed_.size()) claimed_[page] = false;  // the map no longer names it
  return true;
}

uint32_t WriteContext::trimmedPageCount() {
  uint32_t keep = pager_.pageCount();
  while (keep > kFirstUsablePage + 1) {
    if (isFreeInMap(keep - 1) && !stillClaimed(keep - 1)) {
      --keep;
      continue;
    }
    // The page map's own bitmap pages may stand at the end: they move to a free page below.
    if (!codec::isMapPage(read(keep - 1)) || !moveMapPageDown(keep - 1)) break;
  }
  return keep;
}

}  // namespace jet::write
