// Reading and changing usage map bytes (layout in jet/format/usage_map.h): the map row, inline
// or page-referenced, and the bitmap pages a referenced map names. Tables' maps and the
// database's own page map (page 1) go through these same few functions. Nothing here throws;
// callers check wellFormed() and the map pages, and word their own errors.
#pragma once

#include <cstdint>

#include "jet/format/usage_map.h"
#include "jet/util/bytes.h"

namespace jet::codec {

inline bool testBit(const uint8_t* bitmap, uint32_t bit) { return (bitmap[bit / 8] >> (bit % 8)) & 1u; }
inline void setBit(uint8_t* bitmap, uint32_t bit, bool on) {
  if (on) {
    bitmap[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
  } else {
    bitmap[bit / 8] &= static_cast<uint8_t>(~(1u << (bit % 8)));
  }
}
// Calls fn(bit) for every set bit of bytes bytes, in ascending order.
template <typename Fn>
void forEachSetBit(const uint8_t* bitmap, uint32_t bytes, Fn&& fn) {
  for (uint32_t i = 0; i < bytes; ++i) {
    uint8_t b = bitmap[i];
    if (!b) continue;
    for (uint32_t bit = 0; bit < 8; ++bit) {
      if (b & (1u << bit)) fn(i * 8 + bit);
    }
  }
}

// A bitmap page of a referenced map: type byte checked by the reader, written by the builder.
inline bool isMapPage(const uint8_t* page) { return page[0] == format::usagemap::kMapPageType; }
inline void initMapPage(uint8_t* page) {
  page[0] = format::usagemap::kMapPageType;
  page[1] = format::usagemap::kMapPageMarker;
}
// Pages one bitmap page covers.
inline uint32_t pagesPerMapPage(uint32_t pageSize) { return (pageSize - format::usagemap::kMapPageBitmap) * 8u; }

// The map row's bytes; valid while they live.
class UsageMapView {
 public:
  UsageMapView(const uint8_t* row, uint32_t length, uint32_t pageSize)
      : row_(row), length_(length), perMapPage_(pagesPerMapPage(pageSize)) {}

  uint8_t type() const { return row_[format::usagemap::kType]; }
  bool isInline() const { return type() == format::usagemap::kInlineType; }
  bool isReferenced() const { return type() == format::usagemap::kReferenceType; }
  // Long enough for its header and of a known type (the writer's map rows are never shorter
  // than an inline map's header, whatever their type).
  bool wellFormed() const { return length_ >= format::usagemap::kInlineBitmap && (isInline() || isReferenced()); }
  uint32_t length() const { return length_; }

  // Inline maps: bit i stands for page inlineStart() + i.
  uint32_t inlineStart() const { return le32(row_ + format::usagemap::kInlineStart); }
  uint32_t inlineBits() const { return (length_ - format::usagemap::kInlineBitmap) * 8u; }
  const uint8_t* inlineBitmap() const { return row_ + format::usagemap::kInlineBitmap; }
  bool inlineCovers(uint32_t page) const { return page >= inlineStart() && page - inlineStart() < inlineBits(); }

  // Referenced maps: slot j names the bitmap page for pages j * perMapPage() onwards.
  uint32_t perMapPage() const { return perMapPage_; }
  uint32_t slots() const {
    return length_ < format::usagemap::kReferencePages
               ? 0
               : (length_ - format::usagemap::kReferencePages) / format::usagemap::kReferencePointerSize;
  }
  uint32_t slotOf(uint32_t page) const { return page / perMapPage_; }
  // Offset of slot j in the map row.
  static uint32_t slotOffset(uint32_t j) {
    return format::usagemap::kReferencePages + j * format::usagemap::kReferencePointerSize;
  }
  // The bitmap page of slot j, 0 when none. Slots whose pages all lie at or past the end of
  // the file (pageCount pages) count as none: Access leaves stale bytes there when it turns
  // an inline map into a referenced one, so they are neither followed nor trusted.
  uint32_t mapPage(uint32_t j, uint32_t pageCount) const {
    if (static_cast<uint64_t>(j) * perMapPage_ >= pageCount) return 0;
    return le32(row_ + slotOffset(j));
  }

 private:
  const uint8_t* row_;
  uint32_t length_;
  uint32_t perMapPage_;
};

// Every page in a map, ascending, below pageCount. readPage(n) gives the bytes of page n, or
// nullptr when page n is not a bitmap page (the caller may throw there instead); onMapPage(j,
// n) is told each slot's bitmap page (0 where none). Set bits for pages at or past pageCount
// are not given to out; they are counted in *pastEnd when it is given.
template <typename ReadPage, typename OnMapPage, typename Out>
void forEachMappedPage(const UsageMapView& map, uint32_t pageCount, ReadPage&& readPage, OnMapPage&& onMapPage,
                       Out&& out, uint32_t* pastEnd = nullptr) {
  if (map.isInline()) {
    const uint64_t start = map.inlineStart();
    forEachSetBit(map.inlineBitmap(), map.length() - format::usagemap::kInlineBitmap, [&](uint32_t bit) {
      if (start + bit < pageCount) {
        out(static_cast<uint32_t>(start + bit));
      } else if (pastEnd) {
        ++*pastEnd;
      }
    });
    return;
  }
  for (uint32_t j = 0, n = map.slots(); j < n; ++j) {
    uint32_t page = map.mapPage(j, pageCount);
    onMapPage(j, page);
    if (page == 0) continue;
    const uint8_t* bits = readPage(page);
    if (!bits) continue;
    const uint64_t first = static_cast<uint64_t>(j) * map.perMapPage();
    forEachSetBit(bits + format::usagemap::kMapPageBitmap, map.perMapPage() / 8, [&](uint32_t bit) {
      if (first + bit < pageCount) {
        out(static_cast<uint32_t>(first + bit));
      } else if (pastEnd) {
        ++*pastEnd;
      }
    });
  }
}

}  // namespace jet::codec
