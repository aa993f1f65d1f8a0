// Encoding table definitions through the layouts of jet/format/table_def.h.
#include "jet/codec/table_def_builder.h"

#include <algorithm>

#include "jet/error.h"
#include "jet/schema.h"

namespace jet::codec {

namespace td = format::tabledef;

uint8_t* TableDefBuilder::grow(uint32_t n) {
  const size_t at = out_.size();
  out_.resize(at + n, 0);
  return out_.data() + at;
}

void TableDefBuilder::begin(const TableDefBlock& block) {
  const td::BlockLayout& b = td::block(format_);
  out_.assign(columnsOffset(format_, block.realIndexes), 0);
  uint8_t* p = out_.data();
  p[0] = td::kPageType;
  p[1] = td::kPageMarker;
  if (format_ == Format::Jet4) {
    put32(p + td::kDefinitionMagicJet4, td::kDefinitionMagic);
    p[td::kAlwaysOneJet4] = 0x01;
  }
  put32(p + b.rowCount, block.rowCount);
  put32(p + b.nextAutoNumber, block.lastAutoNumber);
  p[b.tableType] = block.tableType;
  put16(p + b.maxColumns, block.maxColumns);
  put16(p + b.varColumns, block.varColumns);
  put16(p + b.columns, block.columns);
  put32(p + b.logicalIndexes, block.logicalIndexes);
  put32(p + b.realIndexes, block.realIndexes);
  encodeRowRef(p + b.ownedPages, block.ownedPages);
  encodeRowRef(p + b.freePages, block.freePages);
}

void TableDefBuilder::addColumn(const ColumnDescriptor& c) {
  const td::ColumnLayout& l = td::column(format_);
  constexpr uint32_t kAbsent = td::ColumnLayout::kAbsent;
  uint8_t* d = grow(l.size);
  if (format_ == Format::Jet4) put32(d + td::kColumnMagicJet4, td::kDefinitionMagic);
  d[l.kind] = c.kind;
  put16(d + l.number, c.number);
  put16(d + l.varIndex, c.varIndex);
  put16(d + l.index, c.index);
  // Precision and scale share their bytes with the sort order (and Jet 3's code page): a
  // Decimal column has them, the others a sort order.
  if (c.kind == static_cast<uint8_t>(ColumnKind::Decimal)) {
    d[l.precision] = c.precision;
    d[l.scale] = c.scale;
  } else {
    put16(d + l.sortOrder, c.sortOrder);
    if (l.sortVersion != kAbsent) d[l.sortVersion] = c.sortVersion;
    if (l.codePage != kAbsent) put16(d + l.codePage, c.codePage);
  }
  d[l.flags] = c.flags;
  if (l.extFlags != kAbsent) d[l.extFlags] = c.extFlags;
  put16(d + l.fixedOffset, c.fixedOffset);
  put16(d + l.length, c.length);
}

void TableDefBuilder::addName(std::span<const uint8_t> stored) {
  const uint32_t prefix = td::block(format_).nameLengthSize;
  const size_t limit = prefix == 1 ? 0xFF : 0xFFFF;
  if (stored.size() > limit) throw Error(ErrorKind::Invalid, "a name of " + std::to_string(stored.size()) + " bytes does not fit a table definition");
  uint8_t* p = grow(prefix + static_cast<uint32_t>(stored.size()));
  if (prefix == 1) {
    p[0] = static_cast<uint8_t>(stored.size());
  } else {
    put16(p, static_cast<uint16_t>(stored.size()));
  }
  std::copy(stored.begin(), stored.end(), p + prefix);
}

void TableDefBuilder::addRealIndex(const RealIndexDescriptor& index) {
  const td::RealIndexLayout& ri = td::realIndex(format_);
  uint8_t* p = grow(ri.size);
  if (format_ == Format::Jet4) put32(p, td::kRealIndexMagic);
  for (uint32_t s = 0; s < td::kIndexColumnSlots; ++s) {
    uint8_t* slot = p + ri.columns + s * td::kIndexColumnSlotSize;
    put16(slot, index.columns[s].number);
    slot[2] = index.columns[s].order;
  }
  encodeRowRef(p + ri.usedPages, index.usedPages);
  put32(p + ri.firstPage, index.firstPage);
  p[ri.flags] = index.flags;
}

void TableDefBuilder::addLogicalIndex(const LogicalIndexDescriptor& index) {
  const td::LogicalIndexLayout& li = td::logicalIndex(format_);
  uint8_t* p = grow(li.size);
  if (format_ == Format::Jet4) put32(p, td::kDefinitionMagic);
  put32(p + li.number, index.number);
  put32(p + li.realIndex, index.realIndex);
  p[li.relatedType] = index.relatedTableType;
  put32(p + li.relatedIndex, index.relatedIndex);
  put32(p + li.relatedTable, index.relatedTablePage);
  p[li.cascadeUpdates] = index.cascadeUpdates;
  p[li.cascadeDeletes] = index.cascadeDeletes;
  p[li.type] = index.type;
}

void TableDefBuilder::addColumnUsage(const ColumnUsageEntry& entry) {
  uint8_t* p = grow(td::kColumnUsageEntrySize);
  put16(p, entry.columnNumber);
  encodeRowRef(p + 2, entry.ownedPages);
  encodeRowRef(p + 6, entry.freePages);
}

std::vector<uint8_t> TableDefBuilder::finish() {
  put16(grow(2), td::kNoColumn);
  put32(out_.data() + td::kLength, static_cast<uint32_t>(out_.size()));
  return std::move(out_);
}

}  // namespace jet::codec
