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

void readLongValueInto(Pager& pager, Format format, const uint8_t* ref, size_t refLen, const Context& context,
                       Bytes& out) {
  out.clear();
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
    out.assign(ref + lv::kInlineData, ref + lv::kInlineData + length);
    return;
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
    out.assign(p, p + length);
    return;
  }
  if (storage != lv::kChain) fail(context, "unknown long value storage " + std::to_string(storage));

  out.reserve(length);
  RowId at = first;
  uint32_t hops = 0;
  while (out.size() < length) {
    if (at.page == 0) {
      fail(context, "long value chain ends after " + std::to_string(out.size()) + " of " + std::to_string(length) +
                        " bytes");
    }
    if (++hops > pager.pageCount() * 2u + 2) fail(context, "long value chain loops (page " + std::to_string(at.page) + ")");
    const uint8_t* p = longValueRow(pager, format, at, size, holder, context);
    if (size < lv::kChainPointerSize) {
      fail(context, "long value row " + std::to_string(at.row) + " on page " + std::to_string(at.page) + " is too short");
    }
    RowId next = codec::chainNext(p);
    size_t chunk = size - lv::kChainPointerSize;
    size_t take = std::min<size_t>(chunk, length - out.size());
    out.insert(out.end(), p + lv::kChainPointerSize, p + lv::kChainPointerSize + take);
    at = next;
  }
}

}  // namespace jet
