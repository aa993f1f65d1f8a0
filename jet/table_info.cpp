// Table definition decoding: joins the definition's pages, then reads columns, indexes and
// column usage maps, checking every offset against the definition's length.
#include "jet/table_info.h"

#include <algorithm>
#include <set>

#include "jet/error.h"
#include "jet/format/table_def.h"
#include "jet/text.h"
#include "jet/util/bytes.h"

namespace jet {

namespace td = format::tabledef;

RowRef decodeRowRef(const uint8_t* p) { return RowRef{p[0], le24(p + 1)}; }

TableInfo::Location TableInfo::locate(uint32_t offset, uint32_t pageSize) const {
  uint32_t firstSize = pageSize;
  if (offset < firstSize || pages.size() == 1) return {pages.front(), offset};
  uint32_t rest = offset - firstSize;
  uint32_t perPage = pageSize - td::kPageHeaderSize;
  size_t index = 1 + rest / perPage;
  if (index >= pages.size()) index = pages.size() - 1;
  return {pages[index], td::kPageHeaderSize + (offset - firstSize - static_cast<uint32_t>(index - 1) * perPage)};
}

namespace {

class DefReader {
 public:
  DefReader(const TableInfo& info, const std::string& name) : bytes_(info.bytes), info_(info), name_(name) {}

  [[noreturn]] void fail(uint32_t offset, const std::string& what) const {
    throw Error(ErrorKind::Corrupt, "table definition of " + name_ + " (page " +
                                        std::to_string(info_.pages.front()) + "): " + what + " at byte " +
                                        std::to_string(offset));
  }
  const uint8_t* at(uint32_t offset, uint32_t len, const char* what) const {
    if (offset > bytes_.size() || len > bytes_.size() - offset) fail(offset, std::string(what) + " past the end");
    return bytes_.data() + offset;
  }
  uint8_t u8(uint32_t o, const char* what) const { return *at(o, 1, what); }
  uint16_t u16(uint32_t o, const char* what) const { return le16(at(o, 2, what)); }
  uint32_t u32(uint32_t o, const char* what) const { return le32(at(o, 4, what)); }

 private:
  const std::vector<uint8_t>& bytes_;
  const TableInfo& info_;
  const std::string& name_;
};

std::string readName(const DefReader& r, Format format, uint16_t codePage, uint32_t& pos) {
  uint32_t len = format == Format::Jet3 ? r.u8(pos, "name length") : r.u16(pos, "name length");
  pos += format == Format::Jet3 ? 1 : 2;
  const uint8_t* p = r.at(pos, len, "name");
  pos += len;
  return format == Format::Jet3 ? decodeCodePage(p, len, codePage) : utf16ToUtf8(p, len);
}

bool knownKind(uint8_t kind) {
  return (kind >= 0x01 && kind <= 0x0C) || kind == 0x0F || kind == 0x10;
}

void joinPages(Pager& pager, uint32_t firstPage, const std::string& name, TableInfo& info) {
  std::set<uint32_t> seen;
  uint32_t page = firstPage;
  while (page != 0) {
    if (!seen.insert(page).second) {
      throw Error(ErrorKind::Corrupt, "table definition of " + name + ": page " + std::to_string(page) +
                                          " appears twice in its chain");
    }
    // Access's largest definitions (255 columns, 32 indexes) fit in a handful of pages.
    constexpr size_t kMaxDefinitionPages = 64;
    if (info.pages.size() >= kMaxDefinitionPages) {
      throw Error(ErrorKind::Corrupt, "table definition of " + name + " (page " + std::to_string(firstPage) +
                                          ") runs over more than " + std::to_string(kMaxDefinitionPages) + " pages");
    }
    PageRef p = pager.read(page);
    if (p->bytes[0] != td::kPageType) {
      throw Error(ErrorKind::Corrupt, "page " + std::to_string(page) + " should hold the table definition of " +
                                          name + " but is of type " + std::to_string(p->bytes[0]));
    }
    info.pages.push_back(page);
    if (info.bytes.empty()) {
      info.bytes.assign(p->bytes.begin(), p->bytes.end());
    } else {
      info.bytes.insert(info.bytes.end(), p->bytes.begin() + td::kPageHeaderSize, p->bytes.end());
    }
    page = le32(p->data() + td::kNextPage);
  }
}

}  // namespace

TableInfo readTableInfo(Pager& pager, Format format, uint32_t definitionPage, const std::string& name,
                        uint16_t codePage, std::vector<std::string>* warnings) {
  TableInfo info;
  info.format = format;
  info.def.name = name;
  info.def.definitionPage = definitionPage;
  joinPages(pager, definitionPage, name, info);
  DefReader r(info, name);

  const td::BlockLayout& b = td::block(format);
  info.rowCountOffset = b.rowCount;
  info.nextAutoNumberOffset = b.nextAutoNumber;
  info.def.rowCount = r.u32(b.rowCount, "row count");
  // The definition stores the last auto-number handed out; the next row gets one more.
  info.def.nextAutoNumber = r.u32(b.nextAutoNumber, "auto-number") + 1;
  info.tableType = r.u8(b.tableType, "table type");
  info.maxColumns = r.u16(b.maxColumns, "column count");
  info.varColumns = r.u16(b.varColumns, "column count");
  uint16_t columnCount = r.u16(b.columns, "column count");
  uint32_t logicalCount = r.u32(b.logicalIndexes, "index count");
  uint32_t realCount = r.u32(b.realIndexes, "index count");
  info.ownedPages = decodeRowRef(r.at(b.ownedPages, 4, "usage map"));
  info.freePages = decodeRowRef(r.at(b.freePages, 4, "usage map"));
  // Access allows 255 columns and 32 indexes; anything far beyond is damage, and would
  // otherwise make us reserve absurd amounts of memory.
  if (columnCount > 4096) r.fail(b.columns, "column count " + std::to_string(columnCount));
  if (logicalCount > 1024 || realCount > 1024 || realCount > logicalCount + 64) {
    r.fail(b.logicalIndexes, "index counts " + std::to_string(logicalCount) + "/" + std::to_string(realCount));
  }

  // Column descriptors, then their names.
  const td::ColumnLayout& c = td::column(format);
  uint32_t columnsAt = b.realIndexCounts + realCount * b.realIndexCountSize;
  uint32_t pos = columnsAt + columnCount * c.size;
  r.at(columnsAt, columnCount * c.size, "column descriptors");
  struct RawColumn {
    Column column;
    ColumnStorage storage;
  };
  std::vector<RawColumn> raw(columnCount);
  for (uint16_t i = 0; i < columnCount; ++i) {
    uint32_t d = columnsAt + i * c.size;
    RawColumn& rc = raw[i];
    Column& col = rc.column;
    uint8_t kind = r.u8(d + c.kind, "column kind");
    col.rawKind = kind;
    if (knownKind(kind)) {
      col.kind = static_cast<ColumnKind>(kind);
    } else {
      col.kind = ColumnKind::Binary;
      col.unknownKind = true;
    }
    rc.storage.descriptorOffset = d;
    rc.storage.number = r.u16(d + c.number, "column number");
    rc.storage.varIndex = r.u16(d + c.varIndex, "column");
    rc.storage.flags = r.u8(d + c.flags, "column flags");
    rc.storage.extFlags = c.extFlags == td::ColumnLayout::kAbsent ? 0 : r.u8(d + c.extFlags, "column flags");
    rc.storage.fixedOffset = r.u16(d + c.fixedOffset, "column");
    col.columnId = rc.storage.number;
    col.size = r.u16(d + c.length, "column length");
    col.fixed = (rc.storage.flags & td::kFixed) != 0;
    col.nullable = (rc.storage.flags & td::kNullable) != 0;
    col.autoNumber = (col.kind == ColumnKind::Long && (rc.storage.flags & td::kAutoLong)) ||
                     (col.kind == ColumnKind::ReplicationID && (rc.storage.flags & td::kAutoGuid));
    col.compressedText = (rc.storage.extFlags & td::kCompressedUnicode) != 0;
    if (col.kind == ColumnKind::Decimal) {
      col.precision = r.u8(d + c.precision, "column");
      col.scale = r.u8(d + c.scale, "column");
    }
    if (col.kind == ColumnKind::Text || col.kind == ColumnKind::Memo) {
      col.sortOrder.id = r.u16(d + c.sortOrder, "column");
      if (c.sortVersion != td::ColumnLayout::kAbsent) col.sortOrder.version = r.u8(d + c.sortVersion, "column");
      if (c.codePage != td::ColumnLayout::kAbsent) col.codePage = r.u16(d + c.codePage, "column");
    }
  }
  for (uint16_t i = 0; i < columnCount; ++i) raw[i].column.name = readName(r, format, codePage, pos);
  for (auto& rc : raw) {
    if (rc.column.unknownKind && warnings) {
      warnings->push_back("table " + name + ", column " + rc.column.name + ": unknown column kind 0x" +
                          [](uint8_t k) {
                            const char* hex = "0123456789abcdef";
                            return std::string{hex[k >> 4], hex[k & 15]};
                          }(rc.column.rawKind) +
                          ", read as raw bytes");
    }
  }
  // Rows store columns by column number; "Select *" returns them in that order too.
  std::stable_sort(raw.begin(), raw.end(),
                   [](const RawColumn& a, const RawColumn& x) { return a.storage.number < x.storage.number; });
  for (size_t i = 1; i < raw.size(); ++i) {
    if (raw[i].storage.number == raw[i - 1].storage.number) {
      r.fail(columnsAt, "two columns share column number " + std::to_string(raw[i].storage.number));
    }
  }
  for (auto& rc : raw) {
    info.def.columns.push_back(std::move(rc.column));
    info.storage.push_back(rc.storage);
  }
  auto positionOf = [&](uint16_t number) -> int {
    for (size_t i = 0; i < info.storage.size(); ++i) {
      if (info.storage[i].number == number) return static_cast<int>(i);
    }
    return -1;
  };

  // Real indexes.
  const td::RealIndexLayout& ri = td::realIndex(format);
  for (uint32_t i = 0; i < realCount; ++i) {
    RealIndexInfo idx;
    idx.descriptorOffset = pos;
    idx.rowCountOffset = b.realIndexCounts + i * b.realIndexCountSize;
    r.at(pos, ri.size, "index");
    for (uint32_t s = 0; s < td::kIndexColumnSlots; ++s) {
      uint32_t slot = pos + ri.columns + s * td::kIndexColumnSlotSize;
      uint16_t number = r.u16(slot, "index column");
      if (number == td::kNoColumn) continue;
      if (positionOf(number) < 0) r.fail(slot, "index names column number " + std::to_string(number) + ", which does not exist");
      idx.columns.push_back({number, (r.u8(slot + 2, "index column") & td::kAscending) != 0});
    }
    idx.usedPages = decodeRowRef(r.at(pos + ri.usedPages, 4, "index"));
    idx.firstPage = r.u32(pos + ri.firstPage, "index");
    idx.flags = r.u8(pos + ri.flags, "index");
    info.realIndexes.push_back(std::move(idx));
    pos += ri.size;
  }

  // Logical indexes, then their names.
  const td::LogicalIndexLayout& li = td::logicalIndex(format);
  for (uint32_t i = 0; i < logicalCount; ++i) {
    LogicalIndexInfo idx;
    idx.descriptorOffset = pos;
    r.at(pos, li.size, "index");
    idx.number = r.u32(pos + li.number, "index");
    idx.realIndex = r.u32(pos + li.realIndex, "index");
    if (idx.realIndex >= realCount) r.fail(pos + li.realIndex, "index refers to real index " + std::to_string(idx.realIndex));
    idx.relatedTableType = r.u8(pos + li.relatedType, "index");
    idx.relatedIndex = r.u32(pos + li.relatedIndex, "index");
    idx.relatedTablePage = r.u32(pos + li.relatedTable, "index");
    idx.cascadeUpdates = r.u8(pos + li.cascadeUpdates, "index") != 0;
    idx.cascadeDeletes = r.u8(pos + li.cascadeDeletes, "index") != 0;
    idx.type = r.u8(pos + li.type, "index");
    info.logicalIndexes.push_back(idx);
    pos += li.size;
  }
  std::vector<std::string> indexNames;
  for (uint32_t i = 0; i < logicalCount; ++i) indexNames.push_back(readName(r, format, codePage, pos));
  info.nameEnd = pos;

  for (uint32_t i = 0; i < logicalCount; ++i) {
    const LogicalIndexInfo& l = info.logicalIndexes[i];
    const RealIndexInfo& real = info.realIndexes[l.realIndex];
    Index index;
    index.name = indexNames[i];
    for (const auto& col : real.columns) index.columns.push_back({positionOf(col.columnNumber), col.ascending});
    index.primary = l.type == td::kPrimaryKey;
    index.foreignKey = l.type == td::kForeignKey;
    index.unique = index.primary || (real.flags & td::kUnique) != 0;
    index.ignoreNulls = (real.flags & td::kIgnoreNulls) != 0;
    index.required = (real.flags & td::kRequired) != 0;
    index.firstPage = real.firstPage;
    if (index.foreignKey) {
      for (uint32_t j = 0; j < logicalCount; ++j) {
        if (j != i && info.logicalIndexes[j].realIndex == l.realIndex && info.logicalIndexes[j].type != td::kForeignKey) {
          index.firstPage = 0;  // the tree belongs to the other index
        }
      }
    }
    info.def.indexes.push_back(std::move(index));
  }

  // Column usage maps (long-value columns), until the end marker; older files may stop early.
  while (pos + 2 <= info.bytes.size()) {
    uint16_t number = r.u16(pos, "column usage map");
    if (number == td::kNoColumn) break;
    if (pos + td::kColumnUsageEntrySize > info.bytes.size()) break;
    ColumnUsage usage;
    usage.columnNumber = number;
    usage.offset = pos;
    usage.ownedPages = decodeRowRef(r.at(pos + 2, 4, "column usage map"));
    usage.freePages = decodeRowRef(r.at(pos + 6, 4, "column usage map"));
    info.columnUsage.push_back(usage);
    pos += td::kColumnUsageEntrySize;
  }
  return info;
}

}  // namespace jet
