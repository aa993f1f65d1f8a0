// Row assembly: fixed area, variable area, offset table (Jet 3: with its jump table) and null mask.
#include "jet/write/row_encoder.h"

#include <algorithm>

#include "jet/codec/row_offsets_jet3.h"
#include "jet/error.h"
#include "jet/util/bytes.h"
#include "jet/write/row_trailer_jet3.h"
#include "jet/write/value_encoder.h"

namespace jet::write {
namespace {

int slotWidth(const ColumnSlot& slot) {
  int width = fixedWidth(slot.column->kind);
  if (slot.column->unknownKind || width == 0) width = slot.column->size;
  if (slot.column->kind == ColumnKind::YesNo && !slot.column->unknownKind) width = 0;
  return width;
}

size_t fixedAreaEnd(const RowLayout& layout) {
  if (layout.fixedEnd >= 0) return static_cast<size_t>(layout.fixedEnd);
  size_t end = 0;
  for (const auto& slot : layout.slots) {
    if (slot.fixed) end = std::max(end, static_cast<size_t>(slot.fixedOffset + slotWidth(slot)));
  }
  return end;
}

size_t nullMaskBytes(const RowLayout& layout) { return (layout.columnCount + 7u) / 8u; }

bool isJet3(const RowLayout& layout) { return layout.format == Format::Jet3; }

size_t countBytes(const RowLayout& layout) { return format::row::columnCountSize(layout.format); }

// The Jet 4 trailer: end of data, offsets, count (Jet 3's depends on the row's length).
size_t varTrailerBytes(const RowLayout& layout) {
  return layout.varColumnCount == 0 ? 0 : 2u + 2u * layout.varColumnCount + 2u;
}

// Variable slots in offset-table order.
void varOrder(const RowLayout& layout, std::vector<size_t>& order) {
  order.clear();
  for (size_t i = 0; i < layout.slots.size(); ++i) {
    if (!layout.slots[i].fixed) order.push_back(i);
  }
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return layout.slots[a].varIndex < layout.slots[b].varIndex; });
}

// Rows are never shorter than a forward pointer, so any row can later be moved.
constexpr size_t kMinRowBytes = 4;

}  // namespace

void finishLayout(RowLayout& layout) {
  layout.fixedEnd = -1;
  layout.fixedEnd = static_cast<int32_t>(fixedAreaEnd(layout));
  varOrder(layout, layout.varSlots);
}

RowLayout layoutForNewTable(const std::vector<Column>& columns) {
  RowLayout layout;
  layout.columnCount = static_cast<uint16_t>(columns.size());
  uint16_t fixedOffset = 0;
  uint16_t varIndex = 0;
  layout.slots.resize(columns.size());
  for (size_t i = 0; i < columns.size(); ++i) {
    ColumnSlot& slot = layout.slots[i];
    slot.column = &columns[i];
    slot.columnId = columns[i].columnId;
    slot.fixed = columns[i].fixed;
    if (slot.fixed) {
      slot.fixedOffset = fixedOffset;
      fixedOffset = static_cast<uint16_t>(fixedOffset + slotWidth(slot));
    }
  }
  // Plain variable columns first, long values after them: short texts then sit close to the
  // start of the row.
  for (int longPass = 0; longPass < 2; ++longPass) {
    for (size_t i = 0; i < columns.size(); ++i) {
      if (columns[i].fixed || isLongValueKind(columns[i].kind) != (longPass == 1)) continue;
      layout.slots[i].varIndex = varIndex++;
    }
  }
  layout.varColumnCount = varIndex;
  return layout;
}

std::vector<EncodedValue> encodeValues(const RowLayout& layout, const Row& row) {
  std::vector<EncodedValue> values;
  encodeValuesInto(layout, row, values);
  return values;
}

void encodeValuesInto(const RowLayout& layout, const Row& row, std::vector<EncodedValue>& values) {
  if (row.size() != layout.slots.size()) {
    throw Error(ErrorKind::Invalid, "the row has " + std::to_string(row.size()) +
                                        " values but the table has " +
                                        std::to_string(layout.slots.size()) + " columns");
  }
  values.resize(row.size());
  for (size_t i = 0; i < row.size(); ++i) {
    const Column& column = *layout.slots[i].column;
    EncodedValue& out = values[i];
    out.null = true;
    out.yesNo = false;
    out.fixedSize = 0;
    out.bytes.clear();
    if (isNull(row[i])) continue;
    out.null = false;
    if (column.kind == ColumnKind::YesNo && !column.unknownKind) {
      out.yesNo = yesNoValue(column, row[i]);
    } else if (layout.slots[i].fixed && !column.unknownKind) {
      out.fixedSize = static_cast<uint8_t>(encodeKnownFixedValue(column, row[i], out.fixed.data()));
    } else if (layout.slots[i].fixed) {
      encodeFixedValueInto(column, row[i], out.bytes);
    } else {
      encodeVariableValueInto(column, row[i], TextCoding{layout.format, layout.codePage}, out.bytes);
    }
  }
  size_t length = rowLengthWithoutLongValues(layout, values);
  if (length > static_cast<size_t>(maxRowBytes(layout))) {
    throw Error(ErrorKind::Invalid, "the row needs " + std::to_string(length) +
                                        " bytes; a row holds at most " +
                                        std::to_string(maxRowBytes(layout)));
  }
}

size_t rowLengthWithoutLongValues(const RowLayout& layout, const std::vector<EncodedValue>& values) {
  size_t length = countBytes(layout) + fixedAreaEnd(layout) + nullMaskBytes(layout);
  for (size_t i = 0; i < layout.slots.size(); ++i) {
    const ColumnSlot& slot = layout.slots[i];
    if (slot.fixed || values[i].null) continue;
    length += isLongValueKind(slot.column->kind) ? kLongValueRefBytes : values[i].bytes.size();
  }
  if (layout.varColumnCount > 0) {
    length = isJet3(layout) ? jet3::rowLength(length + 2u + layout.varColumnCount) : length + varTrailerBytes(layout);
  }
  return std::max(length, kMinRowBytes);
}

std::vector<uint8_t> inlineLongValue(const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> ref(kLongValueRefBytes + payload.size(), 0);
  put32(ref.data(), static_cast<uint32_t>(payload.size()) | 0x80000000u);
  std::copy(payload.begin(), payload.end(), ref.begin() + kLongValueRefBytes);
  return ref;
}

std::vector<uint8_t> assembleRow(const RowLayout& layout, const std::vector<EncodedValue>& values,
                                 const LongValueStore& store, size_t minLength) {
  std::vector<uint8_t> row;
  RowAssembly scratch;
  assembleRowInto(layout, values, store, minLength, row, scratch);
  return row;
}

void assembleRowInto(const RowLayout& layout, const std::vector<EncodedValue>& values, const LongValueStore& store,
                     size_t minLength, std::vector<uint8_t>& row, RowAssembly& scratch) {
  size_t budget = rowLengthWithoutLongValues(layout, values);
  const size_t maxBytes = static_cast<size_t>(maxRowBytes(layout));
  const size_t fixedStart = countBytes(layout);
  row.clear();
  // The whole row in one allocation (inline long values may add to it).
  row.reserve(std::max({budget, minLength, kMinRowBytes}) + 2 * kMaxInlineLongValue);
  row.resize(fixedStart + fixedAreaEnd(layout), 0);
  if (isJet3(layout)) {
    if (layout.columnCount > format::row::kMaxColumnsJet3) {
      throw Error(ErrorKind::Corrupt, "a Jet 3 table cannot have " + std::to_string(layout.columnCount) + " columns");
    }
    row[0] = static_cast<uint8_t>(layout.columnCount);
  } else {
    put16(row.data(), layout.columnCount);
  }
  std::vector<uint8_t>& nullMask = scratch.nullMask;
  nullMask.assign(nullMaskBytes(layout), 0);
  auto markPresent = [&](uint16_t columnId) {
    if (columnId / 8u < nullMask.size()) nullMask[columnId / 8u] |= static_cast<uint8_t>(1u << (columnId % 8u));
  };

  for (size_t i = 0; i < layout.slots.size(); ++i) {
    const ColumnSlot& slot = layout.slots[i];
    if (!slot.fixed) continue;
    const EncodedValue& v = values[i];
    if (slot.column->kind == ColumnKind::YesNo && !slot.column->unknownKind) {
      if (!v.null && v.yesNo) markPresent(slot.columnId);
      continue;
    }
    if (v.null) continue;
    markPresent(slot.columnId);
    uint8_t* at = row.data() + fixedStart + slot.fixedOffset;
    if (v.fixedSize > 0) {
      for (uint8_t k = 0; k < v.fixedSize; ++k) at[k] = v.fixed[k];
    } else {
      std::copy(v.bytes.begin(), v.bytes.end(), at);
    }
  }

  if (layout.varColumnCount > 0) {
    std::vector<uint16_t>& offsets = scratch.offsets;
    offsets.assign(layout.varColumnCount, 0);
    size_t next = 0;  // next offset-table entry to fill
    if (layout.fixedEnd < 0) varOrder(layout, scratch.order);  // a layout not finished
    for (size_t i : layout.fixedEnd < 0 ? scratch.order : layout.varSlots) {
      const ColumnSlot& slot = layout.slots[i];
      const EncodedValue& v = values[i];
      uint16_t start = static_cast<uint16_t>(row.size());
      if (!v.null) {
        markPresent(slot.columnId);
        if (isLongValueKind(slot.column->kind)) {
          std::vector<uint8_t> ref;
          // (A Jet 3 row may need one more jump entry for the inline bytes.)
          const size_t grown = budget + v.bytes.size() + (isJet3(layout) ? 1 : 0);
          if (v.bytes.size() <= kMaxInlineLongValue && grown <= maxBytes) {
            ref = inlineLongValue(v.bytes);
            budget = grown;
          } else {
            ref = store(*slot.column, v.bytes);
          }
          row.insert(row.end(), ref.begin(), ref.end());
        } else {
          row.insert(row.end(), v.bytes.begin(), v.bytes.end());
        }
      }
      // Entries of deleted columns (gaps in the numbering) share the next column's offset.
      while (next <= slot.varIndex && next < offsets.size()) offsets[next++] = start;
    }
    while (next < offsets.size()) offsets[next++] = static_cast<uint16_t>(row.size());
    if (isJet3(layout)) {
      jet3::finishRow(row, offsets, nullMask.size(), std::max(minLength, kMinRowBytes));
      std::copy(nullMask.begin(), nullMask.end(), row.end() - static_cast<std::ptrdiff_t>(nullMask.size()));
      return;
    }
    uint16_t endOfData = static_cast<uint16_t>(row.size());
    size_t trailer = varTrailerBytes(layout) + nullMask.size();
    size_t wanted = std::max(minLength, kMinRowBytes);
    if (row.size() + trailer < wanted) row.resize(wanted - trailer, 0);
    size_t at = row.size();
    row.resize(at + varTrailerBytes(layout));
    put16(row.data() + at, endOfData);
    at += 2;
    for (size_t k = offsets.size(); k-- > 0;) {
      put16(row.data() + at, offsets[k]);
      at += 2;
    }
    put16(row.data() + at, layout.varColumnCount);
  } else {
    size_t wanted = std::max(minLength, kMinRowBytes);
    if (row.size() + nullMask.size() < wanted) row.resize(wanted - nullMask.size(), 0);
  }
  row.insert(row.end(), nullMask.begin(), nullMask.end());
}

}  // namespace jet::write

namespace jet::write {

std::vector<uint8_t> padRow(const RowLayout& layout, std::vector<uint8_t> row, size_t length) {
  if (row.size() >= length) return row;
  if (isJet3(layout) && layout.varColumnCount > 0) {
    // The jump table grows with the row: lay the trailer out again.
    const size_t mask = nullMaskBytes(layout);
    std::vector<uint16_t> offsets = codec::readJet3RowOffsets(row.data(), row.size(), mask);
    std::vector<uint8_t> maskBytes(row.end() - static_cast<std::ptrdiff_t>(mask), row.end());
    row.resize(offsets.back());
    offsets.pop_back();
    jet3::finishRow(row, offsets, mask, length);
    std::copy(maskBytes.begin(), maskBytes.end(), row.end() - static_cast<std::ptrdiff_t>(mask));
    return row;
  }
  size_t trailer = varTrailerBytes(layout) + nullMaskBytes(layout);
  row.insert(row.end() - static_cast<std::ptrdiff_t>(trailer), length - row.size(), 0);
  return row;
}

ColumnBytes variableColumnBytes(const RowLayout& layout, const uint8_t* row, size_t len, size_t slotIndex) {
  const ColumnSlot& slot = layout.slots.at(slotIndex);
  auto bad = [] { return Error(ErrorKind::Corrupt, "a stored row's variable offsets are impossible"); };
  if (isJet3(layout)) {
    if (len < 1) throw bad();
    const uint8_t columns = row[0];
    const size_t mask = (columns + 7u) / 8u;
    if (slot.columnId >= columns) return {};
    if (len < 1 + mask + 1) throw bad();
    if (!(row[len - mask + slot.columnId / 8] & (1u << (slot.columnId % 8)))) return {};
    if (slot.varIndex >= row[len - mask - 1]) return {};
    std::vector<uint16_t> offsets = codec::readJet3RowOffsets(row, len, mask);
    return ColumnBytes{row + offsets[slot.varIndex], static_cast<size_t>(offsets[slot.varIndex + 1u] - offsets[slot.varIndex])};
  }
  if (len < 2) throw bad();
  uint16_t columns = le16(row);
  size_t mask = (columns + 7u) / 8u;
  if (slot.columnId >= columns) return {};
  if (len < 2 + mask + 2) throw bad();
  const uint8_t* nullMask = row + len - mask;
  if (!(nullMask[slot.columnId / 8] & (1u << (slot.columnId % 8)))) return {};
  size_t countAt = len - mask - 2;
  uint16_t varCount = le16(row + countAt);
  if (slot.varIndex >= varCount) return {};
  if (countAt < 2u * varCount + 2u) throw bad();
  auto offsetOf = [&](size_t i) { return le16(row + countAt - 2 * (i + 1)); };
  uint16_t endOfData = le16(row + countAt - 2 * varCount - 2);
  size_t start = offsetOf(slot.varIndex);
  size_t end = slot.varIndex + 1u < varCount ? offsetOf(slot.varIndex + 1u) : endOfData;
  if (start > end || end > countAt - 2 * varCount - 2) throw bad();
  return ColumnBytes{row + start, end - start};
}

}  // namespace jet::write
