// Reading table definitions through the layouts of jet/format/table_def.h.
#include "jet/codec/table_def_view.h"

#include "jet/error.h"

namespace jet::codec {

namespace td = format::tabledef;

namespace {
// Each real index's entry of counts: 4 bytes Access leaves alone, then the distinct keys.
constexpr uint32_t kDistinctKeys = 4;
}  // namespace

uint32_t rowCountOffset(Format format) { return td::block(format).rowCount; }
uint32_t lastAutoNumberOffset(Format format) { return td::block(format).nextAutoNumber; }
uint32_t realIndexCountOffset(Format format, uint32_t index) {
  const td::BlockLayout& b = td::block(format);
  return b.realIndexCounts + index * b.realIndexCountSize;
}
uint32_t distinctKeysOffset(Format format, uint32_t index) {
  return realIndexCountOffset(format, index) + kDistinctKeys;
}
uint32_t columnsOffset(Format format, uint32_t realIndexes) { return realIndexCountOffset(format, realIndexes); }

TableDefView::TableDefView(std::span<const uint8_t> bytes, Format format, std::string subject)
    : bytes_(bytes), format_(format), subject_(std::move(subject)) {}

void TableDefView::fail(uint32_t offset, const std::string& what) const {
  throw Error(ErrorKind::Corrupt, subject_ + ": " + what + " at byte " + std::to_string(offset));
}

const uint8_t* TableDefView::at(uint32_t offset, uint32_t len, const char* what) const {
  if (offset > bytes_.size() || len > bytes_.size() - offset) fail(offset, std::string(what) + " past the end");
  return bytes_.data() + offset;
}

void TableDefView::require(uint32_t offset, uint32_t len, const char* what) const { at(offset, len, what); }

TableDefBlock TableDefView::block() const {
  const td::BlockLayout& b = td::block(format_);
  TableDefBlock out;
  out.rowCount = u32(b.rowCount, "row count");
  out.lastAutoNumber = u32(b.nextAutoNumber, "auto-number");
  out.tableType = u8(b.tableType, "table type");
  out.maxColumns = u16(b.maxColumns, "column count");
  out.varColumns = u16(b.varColumns, "column count");
  out.columns = u16(b.columns, "column count");
  out.logicalIndexes = u32(b.logicalIndexes, "index count");
  out.realIndexes = u32(b.realIndexes, "index count");
  out.ownedPages = decodeRowRef(at(b.ownedPages, 4, "usage map"));
  out.freePages = decodeRowRef(at(b.freePages, 4, "usage map"));
  return out;
}

ColumnDescriptor TableDefView::column(uint32_t d) const {
  const td::ColumnLayout& c = td::column(format_);
  constexpr uint32_t kAbsent = td::ColumnLayout::kAbsent;
  ColumnDescriptor out;
  out.kind = u8(d + c.kind, "column kind");
  out.number = u16(d + c.number, "column number");
  out.varIndex = u16(d + c.varIndex, "column");
  out.index = u16(d + c.index, "column");
  out.flags = u8(d + c.flags, "column flags");
  out.extFlags = c.extFlags == kAbsent ? 0 : u8(d + c.extFlags, "column flags");
  out.fixedOffset = u16(d + c.fixedOffset, "column");
  out.length = u16(d + c.length, "column length");
  out.precision = u8(d + c.precision, "column");
  out.scale = u8(d + c.scale, "column");
  out.sortOrder = u16(d + c.sortOrder, "column");
  if (c.sortVersion != kAbsent) out.sortVersion = u8(d + c.sortVersion, "column");
  if (c.codePage != kAbsent) out.codePage = u16(d + c.codePage, "column");
  return out;
}

RealIndexDescriptor TableDefView::realIndex(uint32_t pos) const {
  const td::RealIndexLayout& ri = td::realIndex(format_);
  require(pos, ri.size, "index");
  RealIndexDescriptor out;
  for (uint32_t s = 0; s < td::kIndexColumnSlots; ++s) {
    uint32_t slot = pos + ri.columns + s * td::kIndexColumnSlotSize;
    out.columns[s] = IndexColumnSlot{u16(slot, "index column"), u8(slot + 2, "index column")};
  }
  out.usedPages = decodeRowRef(at(pos + ri.usedPages, 4, "index"));
  out.firstPage = u32(pos + ri.firstPage, "index");
  out.flags = u8(pos + ri.flags, "index");
  return out;
}

LogicalIndexDescriptor TableDefView::logicalIndex(uint32_t pos) const {
  const td::LogicalIndexLayout& li = td::logicalIndex(format_);
  require(pos, li.size, "index");
  LogicalIndexDescriptor out;
  out.number = u32(pos + li.number, "index");
  out.realIndex = u32(pos + li.realIndex, "index");
  out.relatedTableType = u8(pos + li.relatedType, "index");
  out.relatedIndex = u32(pos + li.relatedIndex, "index");
  out.relatedTablePage = u32(pos + li.relatedTable, "index");
  out.cascadeUpdates = u8(pos + li.cascadeUpdates, "index");
  out.cascadeDeletes = u8(pos + li.cascadeDeletes, "index");
  out.type = u8(pos + li.type, "index");
  return out;
}

std::span<const uint8_t> TableDefView::name(uint32_t& pos) const {
  const uint32_t prefix = td::block(format_).nameLengthSize;
  const uint32_t len = prefix == 1 ? u8(pos, "name length") : u16(pos, "name length");
  pos += prefix;
  const uint8_t* p = at(pos, len, "name");
  pos += len;
  return {p, len};
}

bool TableDefView::columnUsage(uint32_t& pos, ColumnUsageEntry& entry) const {
  if (pos + 2 > bytes_.size()) return false;
  const uint16_t number = u16(pos, "column usage map");
  if (number == td::kNoColumn || pos + td::kColumnUsageEntrySize > bytes_.size()) return false;
  entry.columnNumber = number;
  entry.ownedPages = decodeRowRef(at(pos + 2, 4, "column usage map"));
  entry.freePages = decodeRowRef(at(pos + 6, 4, "column usage map"));
  pos += td::kColumnUsageEntrySize;
  return true;
}

}  // namespace jet::codec
