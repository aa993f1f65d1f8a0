// Reading and writing the 12-byte reference a row stores for a Memo or OLE value, and the
// pointer that opens each row of a chain (layout in jet/format/long_value.h). Shared by the
// row reader, the long-value writer and the structure check; nothing here throws.
#pragma once

#include <cstdint>

#include "jet/codec/data_page_view.h"
#include "jet/format/long_value.h"
#include "jet/util/bytes.h"

namespace jet::codec {

struct LongValueRef {
  uint32_t length = 0;   // bytes of the value
  uint8_t storage = 0;   // format::longvalue::kInline, kSingleRow or kChain (or unknown)
  RowId first;           // the first long-value row (kSingleRow, kChain)
  bool inlined() const { return storage == format::longvalue::kInline; }
  bool chained() const { return storage == format::longvalue::kChain; }
};

// ref holds at least format::longvalue::kReferenceSize bytes.
inline LongValueRef decodeLongValueRef(const uint8_t* ref) {
  namespace lv = format::longvalue;
  const uint32_t word = le32(ref + lv::kLength);
  return LongValueRef{word & lv::kLengthMask, static_cast<uint8_t>((word >> lv::kStorageShift) & lv::kStorageMask),
                      RowId{le24(ref + lv::kPage), ref[lv::kRow]}};
}

// Writes a reference of kReferenceSize bytes (the unused tail left as it is: callers zero it).
inline void encodeLongValueRef(uint8_t* ref, const LongValueRef& value) {
  namespace lv = format::longvalue;
  put32(ref + lv::kLength, value.length | (static_cast<uint32_t>(value.storage) << lv::kStorageShift));
  ref[lv::kRow] = static_cast<uint8_t>(value.first.row);
  put24(ref + lv::kPage, value.first.page);
}

// The next row of a chain, from the start of a chain row (0/0 in the last one).
inline RowId chainNext(const uint8_t* chainRow) { return decodeRowPointer(chainRow); }

}  // namespace jet::codec
