// Long-value rows on LVAL pages: placing, chaining and releasing them.
#include "jet/write/long_value_writer.h"

#include <algorithm>
#include <set>

#include "jet/codec/data_page_view.h"
#include "jet/codec/long_value_ref.h"
#include "jet/error.h"
#include "jet/format/data_page.h"
#include "jet/format/long_value.h"
#include "jet/util/bytes.h"

namespace jet::write {
namespace fd = format::data;
namespace fl = format::longvalue;

namespace {
// Each chained row starts with the pointer to the next one.
constexpr uint32_t kChunkData = LongValueWriter::kMaxSingleRow - fl::kChainPointerSize;
}  // namespace

bool LongValueWriter::usable(uint32_t page) {
  if (page == 0 || page >= ctx_.pager().pageCount()) return false;
  return codec::DataPageView(ctx_.read(page), ctx_.blueprint().pageSize, ctx_.blueprint().format).isLongValuePage();
}

LongValueWriter::Place LongValueWriter::put(const std::vector<uint8_t>& row) {
  if (row.size() + fd::kRowOffsetSize > emptyPageFreeSpace(ctx_.blueprint())) {
    throw Error(ErrorKind::Unsupported, "a long-value row of " + std::to_string(row.size()) +
                                            " bytes does not fit a page of this file");
  }
  if (!usable(current_) || !rowFits(ctx_.blueprint(), ctx_.read(current_), row.size())) {
    current_ = ctx_.allocate();
    initDataPage(ctx_.blueprint(), ctx_.modify(current_), fd::kLongValueOwner);
  }
  uint16_t n = addRow(ctx_.blueprint(), ctx_.modify(current_), row);
  return Place{current_, n};
}

std::vector<uint8_t> LongValueWriter::store(const std::vector<uint8_t>& payload) {
  if (payload.size() > fl::kLengthMask) throw Error(ErrorKind::Invalid, "long value too large");
  std::vector<uint8_t> ref(fl::kReferenceSize, 0);
  Place first{};
  uint8_t storage;
  if (payload.size() <= kMaxSingleRow) {
    first = put(payload);
    storage = fl::kSingleRow;
  } else {
    storage = fl::kChain;
    std::vector<Place> places;
    for (size_t at = 0; at < payload.size(); at += kChunkData) {
      size_t n = std::min<size_t>(kChunkData, payload.size() - at);
      std::vector<uint8_t> chunk(fl::kChainPointerSize + n, 0);
      std::copy(payload.begin() + at, payload.begin() + at + n, chunk.begin() + fl::kChainPointerSize);
      places.push_back(put(chunk));
    }
    // Link each chunk to the next now that every chunk has its place.
    for (size_t i = 0; i + 1 < places.size(); ++i) {
      uint8_t* page = ctx_.modify(places[i].page);
      RowSpan span = rowSpan(ctx_.blueprint(), page, places[i].page, places[i].row);
      codec::encodeRowPointer(page + span.start, RowId{places[i + 1].page, places[i + 1].row});
    }
    first = places.front();
  }
  codec::encodeLongValueRef(ref.data(), {static_cast<uint32_t>(payload.size()), storage, RowId{first.page, first.row}});
  return ref;
}

void LongValueWriter::release(const uint8_t* ref, size_t refLen) {
  if (refLen < fl::kReferenceSize) return;
  const codec::LongValueRef decoded = codec::decodeLongValueRef(ref);
  const uint8_t storage = decoded.storage;
  if (decoded.inlined()) return;
  uint32_t page = decoded.first.page;
  uint16_t row = decoded.first.row;
  std::set<uint32_t> touched;
  // A chain cannot be longer than the pages of the file; the bound stops a looping chain.
  for (uint32_t hops = 0; page != 0 && hops <= ctx_.pager().pageCount(); ++hops) {
    if (!usable(page)) {
      throw Error(ErrorKind::Corrupt, "long value names page " + std::to_string(page) +
                                          ", which is not a long-value page");
    }
    const uint8_t* p = ctx_.read(page);
    RowSpan span = rowSpan(ctx_.blueprint(), p, page, row);
    if (span.flags & fd::kDeletedRow) break;  // already released
    uint32_t nextPage = 0;
    uint16_t nextRow = 0;
    if (storage == fl::kChain) {
      if (span.length < fl::kChainPointerSize) {
        throw Error(ErrorKind::Corrupt, "page " + std::to_string(page) + ": long-value row too short");
      }
      const RowId next = codec::chainNext(p + span.start);
      nextRow = next.row;
      nextPage = next.page;
    }
    setRowFlags(ctx_.blueprint(), ctx_.modify(page), row, fd::kDeletedRow | fd::kOverflowRow);
    touched.insert(page);
    page = nextPage;
    row = nextRow;
  }
  for (uint32_t t : touched) {
    const uint8_t* p = ctx_.read(t);
    uint16_t count = rowCount(ctx_.blueprint(), p);
    bool live = false;
    for (uint16_t r = 0; r < count && !live; ++r) {
      live = !(rowSpan(ctx_.blueprint(), p, t, r).flags & fd::kDeletedRow);
    }
    if (!live) {
      if (t == current_) current_ = 0;
      ctx_.release(t);
    }
  }
}

}  // namespace jet::write
