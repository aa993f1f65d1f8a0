// Builds the bytes of one row from typed values: the inverse of the row decoder.
//
//   Jet 4: u16 column count | fixed area | variable data | [padding] | u16 end of variable
//          data | u16 variable offsets (last first) | u16 variable column count | null mask
//   Jet 3: the same with one-byte counts and offsets, and a jump table before the count
//          (jet/format/row.h, jet/write/row_trailer_jet3.h)
//
// The variable part (end marker, offsets, count) is present only when the table has variable
// columns. Text is UTF-16 (Jet 4) or the code page's bytes (Jet 3). Long values are placed by
// a LongValueStore the caller supplies.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "jet/format/long_value.h"
#include "jet/format/row.h"
#include "jet/format/types.h"
#include "jet/schema.h"
#include "jet/value.h"
#include "jet/write/value_encoder.h"

namespace jet::write {

// Where one column lives in a row.
struct ColumnSlot {
  const Column* column = nullptr;
  uint16_t columnId = 0;     // bit in the null mask
  bool fixed = false;
  uint16_t fixedOffset = 0;  // from the start of the fixed area
  uint16_t varIndex = 0;     // entry in the variable offset table
};

struct RowLayout {
  Format format = Format::Jet4;
  uint16_t codePage = 0;        // the database's, for Jet 3 text (columns may name their own)
  uint16_t columnCount = 0;     // the table's maximum column count (null mask width)
  uint16_t varColumnCount = 0;  // entries of the variable offset table
  std::vector<ColumnSlot> slots;  // in TableDef::columns order
  // What every row of the layout shares, noted by finishLayout once the slots are final:
  // where the fixed columns end (-1: not noted, worked out from the slots when wanted) and
  // the variable slots in offset-table order.
  int32_t fixedEnd = -1;
  std::vector<size_t> varSlots;
};

// Notes what every row of the layout shares (see RowLayout), once its slots are final.
void finishLayout(RowLayout& layout);

// Builds the layout of a table from its columns, as a table definition stores them.
// varIndex and fixedOffset come from the definition; this helper computes them for a new
// table (fixed columns packed in column order, variable ones numbered in column order with
// long values last).
RowLayout layoutForNewTable(const std::vector<Column>& columns);

inline constexpr int kMaxRowBytes = static_cast<int>(format::row::kMaxRowBytesJet4);
inline int maxRowBytes(const RowLayout& layout) { return static_cast<int>(format::row::maxRowBytes(layout.format)); }
inline constexpr int kLongValueRefBytes = static_cast<int>(format::longvalue::kReferenceSize);
inline constexpr int kMaxInlineLongValue = static_cast<int>(format::longvalue::kMaxInlineJet4);

// A value prepared for the row: its encoded bytes, checked against the column.
struct EncodedValue {
  bool null = true;
  bool yesNo = false;             // the null-mask bit of a Yes/No column
  uint8_t fixedSize = 0;          // bytes in `fixed`: a fixed column of a known kind
  std::array<uint8_t, kMaxKnownFixedBytes> fixed;
  std::vector<uint8_t> bytes;     // variable bytes; a long value's payload; the bytes of a
                                  // fixed column of unknown kind
};

// Checks and encodes every value of a row (no page is touched). Throws Error(Invalid) on a
// bad value, and when the row cannot fit a page even with its long values moved out.
std::vector<EncodedValue> encodeValues(const RowLayout& layout, const Row& row);
// The same into values (resized to the row; the storage of its byte vectors is reused, so a
// writer encoding many rows allocates little). Throws the same; values is then unspecified.
void encodeValuesInto(const RowLayout& layout, const Row& row, std::vector<EncodedValue>& values);

// Stores a long value's payload outside the row and returns its 12-byte reference.
using LongValueStore = std::function<std::vector<uint8_t>(const Column&, const std::vector<uint8_t>&)>;

// Assembles the row. Long values of at most 64 bytes that fit the row stay inline; the rest
// go through store. minLength pads the row (an in-place update keeps the old length).
std::vector<uint8_t> assembleRow(const RowLayout& layout, const std::vector<EncodedValue>& values,
                                 const LongValueStore& store, size_t minLength = 0);
// Working storage of assembleRowInto, kept by a caller that assembles many rows.
struct RowAssembly {
  std::vector<uint8_t> nullMask;
  std::vector<uint16_t> offsets;
  std::vector<size_t> order;
};
// The same into row (replacing what it held; its storage and scratch's are reused).
void assembleRowInto(const RowLayout& layout, const std::vector<EncodedValue>& values, const LongValueStore& store,
                     size_t minLength, std::vector<uint8_t>& row, RowAssembly& scratch);

// Length the assembled row will have when every long value moves out of the row.
size_t rowLengthWithoutLongValues(const RowLayout& layout, const std::vector<EncodedValue>& values);

// The 12-byte reference of an inline long value.
std::vector<uint8_t> inlineLongValue(const std::vector<uint8_t>& payload);

}  // namespace jet::write

namespace jet::write {
// Pads an assembled row to length bytes (zeros before its trailer), so it can replace a
// longer row in place. Rows already that long are returned unchanged. A Jet 3 row that cannot
// take that padding (see jet3::finishRow) comes back shorter: the caller moves it instead.
std::vector<uint8_t> padRow(const RowLayout& layout, std::vector<uint8_t> row, size_t length);

// The stored bytes of variable column `slot` in an existing row (nullptr when Null or absent).
// Throws Error(Corrupt) when the row's offsets are impossible.
struct ColumnBytes {
  const uint8_t* data = nullptr;
  size_t size = 0;
};
ColumnBytes variableColumnBytes(const RowLayout& layout, const uint8_t* row, size_t rowLength, size_t slot);
}  // namespace jet::write
