// Usage map edits: inline bitmaps, moving their first page, promotion to map pages.
#include "jet/write/usage_map_writer.h"

#include <algorithm>
#include <cstring>

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

void UsageMapWriter::setBit(uint8_t* bitmap, uint32_t bit, bool on) {
  if (on) {
    bitmap[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
  } else {
    bitmap[bit / 8] &= static_cast<uint8_t>(~(1u << (bit % 8)));
  }
}

std::vector<uint32_t> UsageMapWriter::pages() {
  Row row = locate();
  const uint8_t* p = ctx_.read(mapPage_) + row.start;
  std::vector<uint32_t> out;
  if (row.type == fu::kInlineType) {
    uint32_t start = le32(p + fu::kInlineStart);
    for (uint32_t b = 0; b < (row.length - fu::kInlineBitmap) * 8u; ++b) {
      if (p[fu::kInlineBitmap + b / 8] & (1u << (b % 8))) out.push_back(start + b);
    }
    return out;
  }
  uint32_t perPage = (ctx_.blueprint().pageSize - fu::kMapPageBitmap) * 8u;
  uint32_t slots = (row.length - fu::kReferencePages) / fu::kReferencePointerSize;
  for (uint32_t i = 0; i < slots; ++i) {
    uint32_t bitmapPage = le32(ctx_.read(mapPage_) + row.start + fu::kReferencePages + i * fu::kReferencePointerSize);
    if (bitmapPage == 0) continue;
    if (bitmapPage >= ctx_.pager().pageCount()) {
      throw Error(ErrorKind::Corrupt, "usage map names page " + std::to_string(bitmapPage) + " past the end");
    }
    const uint8_t* bp = ctx_.read(bitmapPage);
    if (bp[0] != fu::kMapPageType) {
      throw Error(ErrorKind::Corrupt, "usage map page " + std::to_string(bitmapPage) + " has the wrong type");
    }
    for (uint32_t b = 0; b < perPage; ++b) {
      if (bp[fu::kMapPageBitmap + b / 8] & (1u << (b % 8))) out.push_back(i * perPage + b);
    }
  }
  return out;
}

bool UsageMapWriter::contains(uint32_t page) {
  Row row = locate();
  const uint8_t* p = ctx_.read(mapPage_) + row.start;
  if (row.type == fu::kInlineType) {
    uint32_t start = le32(p + fu::kInlineStart);
    uint32_t bits = (row.length - fu::kInlineBitmap) * 8u;
    if (page < start || page - start >= bits) return false;
    uint32_t b = page - start;
    return (p[fu::kInlineBitmap + b / 8] >> (b % 8)) & 1u;
  }
  uint32_t perPage = (ctx_.blueprint().pageSize - fu::kMapPageBitmap) * 8u;
  uint32_t index = page / perPage;
  uint32_t slots = (row.length - fu::kReferencePages) / fu::kReferencePointerSize;
  if (index >= slots) return false;
  uint32_t bitmapPage = le32(p + fu::kReferencePages + index * fu::kReferencePointerSize);
  if (bitmapPage == 0 || bitmapPage >= ctx_.pager().pageCount()) return false;
  uint32_t b = page - index * perPage;
  return (ctx_.read(bitmapPage)[fu::kMapPageBitmap + b / 8] >> (b % 8)) & 1u;
}

bool UsageMapWriter::setCovered(const Row& row, uint32_t page, bool on) {
  if (row.type == fu::kReferenceType) {
    setReference(row, page, on);
    return true;
  }
  const uint8_t* p = ctx_.read(mapPage_) + row.start;
  uint32_t start = le32(p + fu::kInlineStart);
  uint32_t bits = (row.length - fu::kInlineBitmap) * 8u;
  if (page < start || page - start >= bits) return false;
  setBit(ctx_.modify(mapPage_) + row.start + fu::kInlineBitmap, page - start, on);
  return true;
}

void UsageMapWriter::add(uint32_t page) {
  Row row = locate();
  if (setCovered(row, page, true)) return;
  uint32_t bits = (row.length - fu::kInlineBitmap) * 8u;
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

void UsageMapWriter::remove(uint32_t page) {
  Row row = locate();
  setCovered(row, page, false);  // a page the map does not cover is already absent
}

void UsageMapWriter::rewriteInline(const Row& row, uint32_t start, const std::vector<uint32_t>& pages) {
  uint8_t* p = ctx_.modify(mapPage_) + row.start;
  std::memset(p + 1, 0, row.length - 1);
  put32(p + fu::kInlineStart, start);
  for (uint32_t page : pages) setBit(p + fu::kInlineBitmap, page - start, true);
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
  uint32_t perPage = (ctx_.blueprint().pageSize - fu::kMapPageBitmap) * 8u;
  uint32_t index = page / perPage;
  uint32_t slots = (row.length - fu::kReferencePages) / fu::kReferencePointerSize;
  if (index >= slots) {
    if (!on) return;
    throw Error(ErrorKind::Unsupported, "page " + std::to_string(page) + " is beyond what the usage map on page " +
                                            std::to_string(mapPage_) + " can describe");
  }
  uint32_t slotAt = row.start + fu::kReferencePages + index * fu::kReferencePointerSize;
  uint32_t bitmapPage = le32(ctx_.read(mapPage_) + slotAt);
  if (bitmapPage == 0) {
    if (!on) return;
    bitmapPage = ctx_.allocate();
    uint8_t* bp = ctx_.modify(bitmapPage);
    bp[0] = fu::kMapPageType;
    bp[1] = 0x01;
    put32(ctx_.modify(mapPage_) + slotAt, bitmapPage);
  } else if (bitmapPage >= ctx_.pager().pageCount() || ctx_.read(bitmapPage)[0] != fu::kMapPageType) {
    throw Error(ErrorKind::Corrupt, "usage map on page " + std::to_string(mapPage_) + " names page " +
                                        std::to_string(bitmapPage) + ", which is not a map page");
  }
  setBit(ctx_.modify(bitmapPage) + fu::kMapPageBitmap, page - index * perPage, on);
}

}  // namespace jet::write
