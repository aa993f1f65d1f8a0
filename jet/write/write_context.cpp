// Page access for the writer: undo images per operation, page allocation through the
// database's page map, and flushes (which the pager journals).
#include "jet/write/write_context.h"

#include <algorithm>
#include <cstring>

#include "jet/codec/usage_map_view.h"
#include "jet/error.h"
#include "jet/format/data_page.h"
#include "jet/format/usage_map.h"
#include "jet/util/bytes.h"

namespace jet::write {
namespace fu = format::usagemap;

WriteContext::WriteContext(Pager& pager, Format format) : pager_(pager), spec_{format, pager.pageSize()} {}

const uint8_t* WriteContext::read(uint32_t page) { return pager_.peek(page); }

namespace {

// Puts the old bytes an image keeps for its ranges (one after another) back into page.
void putRangesBack(uint8_t* page, const std::vector<WriteContext::ByteRange>& ranges, const uint8_t* old) {
  for (const WriteContext::ByteRange& r : ranges) {
    std::memcpy(page + r.offset, old, r.length);
    old += r.length;
  }
}

}  // namespace

WriteContext::UndoImage& WriteContext::newImage(uint32_t page) {
  if (undoCount_ == undo_.size()) undo_.emplace_back();
  UndoImage& image = undo_[undoCount_++];
  image.page = page;
  image.ranges.clear();
  if (undoStamp_.size() < opStartPages_) undoStamp_.resize(opStartPages_, 0);
  undoStamp_[page] = opSerial_;
  return image;
}

void WriteContext::keepOldBytes(uint32_t page, std::initializer_list<ByteRange> ranges) {
  if (!inOperation_ || !keepUndo_ || page >= opStartPages_) return;
  const uint8_t* old = pager_.peek(page);
  if (!hasUndo(page)) {
    UndoImage& image = newImage(page);
    if (ranges.size() == 0) {
      image.bytes.assign(old, old + spec_.pageSize);
      return;
    }
    image.bytes.clear();
    for (const ByteRange& r : ranges) {
      image.ranges.push_back(r);
      image.bytes.insert(image.bytes.end(), old + r.offset, old + r.offset + r.length);
    }
    ++partialImages_;
    return;
  }
  if (partialImages_ == 0) return;
  for (size_t i = 0; i < undoCount_; ++i) {
    UndoImage& image = undo_[i];
    if (image.page != page || image.ranges.empty()) continue;
    // Changed only within its ranges so far: the page as it stands, with their old bytes put
    // back, is the page as it was.
    std::vector<uint8_t> whole(old, old + spec_.pageSize);
    putRangesBack(whole.data(), image.ranges, image.bytes.data());
    image.bytes = std::move(whole);
    image.ranges.clear();
    --partialImages_;
    return;
  }
}

uint8_t* WriteContext::modifyWithin(uint32_t page, std::initializer_list<ByteRange> ranges) {
  for (const ByteRange& r : ranges) {
    if (r.offset > spec_.pageSize || r.length > spec_.pageSize - r.offset) {
      throw Error(ErrorKind::Invalid, "page " + std::to_string(page) + ": a change of bytes " + std::to_string(r.offset) +
                                          ".." + std::to_string(r.offset + r.length) + " runs past the page");
    }
  }
  keepOldBytes(page, ranges);
  return pager_.modify(page);
}

uint8_t* WriteContext::modify(uint32_t page) {
  keepOldBytes(page, {});
  return pager_.modify(page);
}

uint32_t WriteContext::allocate() {
  if (uint32_t reused = takeFreePage()) return reused;
  uint32_t page = pager_.append();
  globalMapSet(page, false);
  return page;
}

void WriteContext::release(uint32_t page) {
  if (page < claimed_.size()) claimed_[page] = false;  // its owner gave it back
  uint8_t* bytes = modify(page);
  std::memset(bytes, 0, 4);
  globalMapSet(page, true);
}

void WriteContext::globalMapSet(uint32_t page, bool freePage) {
  if (freePage) {
    freeSearchFrom_ = std::min(freeSearchFrom_, page);
    if (freedSinceFlush_.size() <= page) freedSinceFlush_.resize(std::max<size_t>(page + 1, pager_.pageCount()), false);
    freedSinceFlush_[page] = true;
  }
  const uint8_t* mapPage = read(fu::kDatabaseMapPage);
  RowSpan span = rowSpan(spec_, mapPage, fu::kDatabaseMapPage, fu::kDatabaseMapRow);
  if (span.length < fu::kInlineBitmap) {
    throw Error(ErrorKind::Corrupt, "page 1: the database's page map is too short");
  }
  codec::UsageMapView map(mapPage + span.start, span.length, spec_.pageSize);
  if (map.isInline()) {
    if (map.inlineCovers(page)) {
      const uint32_t bit = page - map.inlineStart();
      codec::setBit(modify(fu::kDatabaseMapPage) + span.start + fu::kInlineBitmap, bit, freePage);
      return;
    }
    if (freePage) return;  // pages outside an inline map already count as free
    // The inline map cannot reach this page: turn it into a page-referenced map that covers
    // the whole file, carrying over the pages it listed as free.
    std::vector<uint32_t> freePages;
    const uint32_t start = map.inlineStart();
    codec::forEachSetBit(map.inlineBitmap(), span.length - fu::kInlineBitmap,
                         [&](uint32_t bit) { freePages.push_back(start + bit); });
    uint8_t* w = modify(fu::kDatabaseMapPage) + span.start;
    std::memset(w, 0, span.length);
    w[fu::kType] = fu::kReferenceType;
    for (uint32_t p : freePages) {
      if (p < pager_.pageCount() && p != page) globalMapSet(p, true);
    }
    return;
  }
  if (!map.isReferenced()) {
    throw Error(ErrorKind::Corrupt, "page 1: unknown kind of page map " + std::to_string(map.type()));
  }
  const uint32_t index = map.slotOf(page);
  if (index >= map.slots()) {
    if (freePage) return;
    throw Error(ErrorKind::Unsupported, "the database has reached the largest size its page map describes");
  }
  const uint32_t slotAt = span.start + codec::UsageMapView::slotOffset(index);
  const uint32_t perMapPage = map.perMapPage();
  uint32_t bitmapPage = map.mapPage(index, pager_.pageCount());
  if (bitmapPage == 0) {
    if (!freePage) return;  // pages of a missing bitmap page count as used
    bitmapPage = allocate();
    uint8_t* bp = modify(bitmapPage);
    std::memset(bp, 0, spec_.pageSize);
    codec::initMapPage(bp);
    put32(modify(fu::kDatabaseMapPage) + slotAt, bitmapPage);
  } else if (bitmapPage >= pager_.pageCount() || !codec::isMapPage(read(bitmapPage))) {
    throw Error(ErrorKind::Corrupt, "page 1: the page map names page " + std::to_string(bitmapPage) +
                                        ", which is not a map page");
  }
  codec::setBit(modify(bitmapPage) + fu::kMapPageBitmap, page - index * perMapPage, freePage);
}

void WriteContext::begin() {
  if (!pager_.writable()) throw Error(ErrorKind::ReadOnly, pager_.file().name() + " is open for reading only");
  if (depth_++ > 0) return;
  inOperation_ = true;
  opStartPages_ = pager_.pageCount();
  undoCount_ = 0;
  partialImages_ = 0;
  if (++opSerial_ == 0) {  // the serial wrapped: no stamp may look current
    std::fill(undoStamp_.begin(), undoStamp_.end(), 0);
    opSerial_ = 1;
  }
}

void WriteContext::commit() {
  if (depth_ == 0 || --depth_ > 0) return;
  inOperation_ = false;
  undoCount_ = 0;
  partialImages_ = 0;
  rollbackHooks_.clear();
}

void WriteContext::rollback() {
  if (depth_ == 0 || --depth_ > 0) return;
  if (!inOperation_) return;
  inOperation_ = false;
  if (!keepUndo_) undoneWithoutUndo_ = true;
  for (size_t i = 0; i < undoCount_; ++i) {
    const UndoImage& image = undo_[i];
    uint8_t* bytes = pager_.modify(image.page);
    if (image.ranges.empty()) {
      std::memcpy(bytes, image.bytes.data(), image.bytes.size());
    } else {
      putRangesBack(bytes, image.ranges, image.bytes.data());
    }
  }
  undoCount_ = 0;
  partialImages_ = 0;
  freeSearchFrom_ = 0;
  claimedLoaded_ = false;  // pages released in the operation are their owners' again
  pager_.dropAppendedFrom(opStartPages_);
  for (auto it = rollbackHooks_.rbegin(); it != rollbackHooks_.rend(); ++it) (*it)();
  rollbackHooks_.clear();
}

void WriteContext::flush() {
  if (undoneWithoutUndo_) {
    throw Error(ErrorKind::Invalid, pager_.file().name() + ": a failed change could not be undone; nothing is written");
  }
  for (auto& hook : beforeFlush_) hook();
  if (!pager_.hasDirtyPages()) return;
  // Free pages at the end are cut off; the pager's journal keeps their old bytes.
  const uint32_t keepPages = trimmedPageCount();
  if (keepPages < pager_.pageCount()) pager_.cutTo(keepPages);
  try {
    pager_.flush();
  } catch (...) {
    // The flush lock was not to be had: nothing was written and the changes are kept.
    if (pager_.hasDirtyPages()) throw;
    // The pager put the file back and dropped the changes.
    freedSinceFlush_.clear();
    freeSearchFrom_ = 0;
    claimedLoaded_ = false;
    for (auto& hook : afterDiscard_) {
      try {
        hook();
      } catch (...) {
        // The flush's own error is the one to report.
      }
    }
    throw;
  }
  freedSinceFlush_.clear();
}

}  // namespace jet::write
