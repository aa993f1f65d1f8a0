// Long value reading, with every length checked against the pages it comes from.
#include "jet/long_value.h"

#include <algorithm>

#include "jet/codec/long_value_ref.h"
#include "jet/data_rows.h"
#include "jet/error.h"
#include "jet/format/long_value.h"
#include "jet/util/bytes.h"

namespace jet {

namespace lv = format::longvalue;

namespace {

using Context = std::function<std::string()>;

[[noreturn]] void fail(const Context& context, const std::string& what) {
  throw Error(ErrorKind::Corrupt, context() + ": " + what);
}

// A long-value row; long-value rows are never moved, but may carry the deleted flag when
// a writer reuses them, so only the bounds matter.
const uint8_t* longValueRow(Pager& pager, Format format, RowId at, uint16_t& size, PageRef& holder,
                            const Context& context) {
  holder = pager.read(at.page);
  RowSlot slot = dataPageRow(*holder, format, at.row);
  if (slot.deleted || slot.overflow) {
    fail(context, "long value row " + std::to_string(at.row) + " on page " + std::to_string(at.page) + " is missing");
  }
  size = slot.size();
  return holder->data() + slot.start;
}

}  // namespace

Bytes readLongValue(Pager& pager, Format format, const uint8_t* ref, size_t refLen, const std::string& context) {
  return readLongValue(pager, format, ref, refLen, Context([&context] { return context; }));
}

Bytes readLongValue(Pager& pager, Format format, const uint8_t* ref, size_t refLen, const Context& context) {
  Bytes out;
  readLongValueInto(pager, format, ref, refLen, context, out);
  return out;
}

namespace {

// Walks the value the reference names, checking every length against the pages, and hands
// its bytes to take(bytes, count) piece by piece; returns the value's length.
template <typename Take>
uint32_t walkLongValue(Pager& pager, Format format, const uint8_t* ref, size_t refLen, const Context& context,
                       Take&& take) {
  if (refLen < lv::kReferenceSize) {
    fail(context, "long value reference of " + std::to_string(refLen) + " bytes (12 expected)");
  }
  const codec::LongValueRef decoded = codec::decodeLongValueRef(ref);
  const uint32_t length = decoded.length;
  const uint8_t storage = decoded.storage;
  const RowId first = decoded.first;

  if (storage == lv::kInline) {
    if (length > refLen - lv::kInlineData) {
      fail(context, "inline long value of " + std::to_string(length) + " bytes in " +
                        std::to_string(refLen - lv::kInlineData));
    }
    take(ref + lv::kInlineData, length);
    return length;
  }
  if (refLen != lv::kReferenceSize) {
    fail(context, "long value reference of " + std::to_string(refLen) + " bytes (12 expected)");
  }
  // No value can be longer than the file that holds it.
  if (static_cast<uint64_t>(length) > static_cast<uint64_t>(pager.pageCount()) * pager.pageSize()) {
    fail(context, "long value of " + std::to_string(length) + " bytes is larger than the file");
  }
  PageRef holder;
  uint16_t size = 0;
  if (storage == lv::kSingleRow) {
    const uint8_t* p = longValueRow(pager, format, first, size, holder, context);
    if (size < length) {
      fail(context, "long value row " + std::to_string(first.row) + " on page " + std::to_string(first.page) + " holds " +
                        std::to_string(size) + " of " + std::to_string(length) + " bytes");
    }
    take(p, length);
    return length;
  }
  if (storage != lv::kChain) fail(context, "unknown long value storage " + std::to_string(storage));

  RowId at = first;
  uint32_t hops = 0;
  uint32_t done = 0;
  while (done < length) {
    if (at.page == 0) {
      fail(context, "long value chain ends after " + std::to_string(done) + " of " + std::to_string(length) +
                        " bytes");
    }
    if (++hops > pager.pageCount() * 2u + 2) fail(context, "long value chain loops (page " + std::to_string(at.page) + ")");
    const uint8_t* p = longValueRow(pager, format, at, size, holder, context);
    if (size < lv::kChainPointerSize) {
      fail(context, "long value row " + std::to_string(at.row) + " on page " + std::to_string(at.page) + " is too short");
    }
    RowId next = codec::chainNext(p);
    const uint32_t chunk = size - lv::kChainPointerSize;
    const uint32_t count = std::min<uint32_t>(chunk, length - done);
    take(p + lv::kChainPointerSize, count);
    done += count;
    at = next;
  }
  return length;
}

}  // namespace

void readLongValueInto(Pager& pager, Format format, const uint8_t* ref, size_t refLen, const Context& context,
                       Bytes& out) {
  out.clear();
  if (refLen >= lv::kReferenceSize) {
    const codec::LongValueRef decoded = codec::decodeLongValueRef(ref);
    // The reservation is bounded by the file's size before any byte is read.
    if (decoded.storage == lv::kChain &&
        static_cast<uint64_t>(decoded.length) <= static_cast<uint64_t>(pager.pageCount()) * pager.pageSize()) {
      out.reserve(decoded.length);
    }
  }
  walkLongValue(pager, format, ref, refLen, context,
                [&out](const uint8_t* bytes, uint32_t count) { out.insert(out.end(), bytes, bytes + count); });
}

uint32_t checkLongValue(Pager& pager, Format format, const uint8_t* ref, size_t refLen, const Context& context) {
  return walkLongValue(pager, format, ref, refLen, context, [](const uint8_t*, uint32_t) {});
}

}  // namespace jet
