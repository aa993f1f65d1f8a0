// Table definition decoding: joins the definition's pages, then reads columns, indexes and
// column usage maps, checking every offset against the definition's length.
#include "jet/table_info.h"

#include <algorithm>
#include <set>

#include "jet/codec/table_def_view.h"
#include "jet/error.h"
#include "jet/format/table_def.h"
#include "jet/text.h"
#include "jet/util/bytes.h"

namespace jet {

namespace td = format::tabledef;

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

using codec::TableDefView;

std::string decodeName(const TableDefView& view, uint16_t codePage, uint32_t& pos) {
  std::span<const uint8_t> stored = view.name(pos);
  return view.format() == Format::Jet3 ? decodeCodePage(stored.data(), stored.size(), codePage)
                                       : utf16ToUtf8(stored.data(), stored.size());
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

std::string hexByte(uint8_t k) {
  const char* hex = "0123456789abcdef";
  return std::string{hex[k >> 4], hex[k & 15]};
}

codec::TableDefBlock readBlock(const TableDefView& view, TableInfo& info) {
  const codec::TableDefBlock block = view.block();
  info.rowCountOffset = codec::rowCountOffset(info.format);
  info.nextAutoNumberOffset = codec::lastAutoNumberOffset(info.format);
  info.def.rowCount = block.rowCount;
  // The definition stores the last auto-number handed out; the next row gets one more.
  info.def.nextAutoNumber = block.lastAutoNumber + 1;
  info.tableType = block.tableType;
  info.maxColumns = block.maxColumns;
  info.varColumns = block.varColumns;
  info.ownedPages = block.ownedPages;
  info.freePages = block.freePages;
  const uint32_t logicalCount = block.logicalIndexes, realCount = block.realIndexes;
  // Access allows 255 columns and 32 indexes; anything far beyond is damage, and would
  // otherwise make us reserve absurd amounts of memory.
  const td::BlockLayout& b = td::block(info.format);
  if (block.columns > 4096) view.fail(b.columns, "column count " + std::to_string(block.columns));
  if (logicalCount > 1024 || realCount > 1024 || realCount > logicalCount + 64) {
    view.fail(b.logicalIndexes, "index counts " + std::to_string(logicalCount) + "/" + std::to_string(realCount));
  }
  return block;
}

struct RawColumn {
  Column column;
  ColumnStorage storage;
};

RawColumn columnFrom(const codec::ColumnDescriptor& d, uint32_t offset) {
  RawColumn rc;
  Column& col = rc.column;
  col.rawKind = d.kind;
  if (knownKind(d.kind)) {
    col.kind = static_cast<ColumnKind>(d.kind);
  } else {
    col.kind = ColumnKind::Binary;
    col.unknownKind = true;
  }
  rc.storage.descriptorOffset = offset;
  rc.storage.number = d.number;
  rc.storage.varIndex = d.varIndex;
  rc.storage.flags = d.flags;
  rc.storage.extFlags = d.extFlags;
  rc.storage.fixedOffset = d.fixedOffset;
  col.columnId = d.number;
  col.size = d.length;
  col.fixed = (d.flags & td::kFixed) != 0;
  col.nullable = (d.flags & td::kNullable) != 0;
  col.autoNumber = (col.kind == ColumnKind::Long && (d.flags & td::kAutoLong)) ||
                   (col.kind == ColumnKind::ReplicationID && (d.flags & td::kAutoGuid));
  col.compressedText = (d.extFlags & td::kCompressedUnicode) != 0;
  if (col.kind == ColumnKind::Decimal) {
    col.precision = d.precision;
    col.scale = d.scale;
  }
  if (col.kind == ColumnKind::Text || col.kind == ColumnKind::Memo) {
    col.sortOrder.id = d.sortOrder;
    col.sortOrder.version = d.sortVersion;
    col.codePage = d.codePage;
  }
  return rc;
}

// Column descriptors, then their names; stored in column number order. pos ends after the names.
void readColumns(const TableDefView& view, uint16_t columnCount, uint32_t realCount, uint16_t codePage,
                 TableInfo& info, std::vector<std::string>* warnings, uint32_t& pos) {
  const uint32_t size = td::column(info.format).size;
  const uint32_t columnsAt = codec::columnsOffset(info.format, realCount);
  view.require(columnsAt, columnCount * size, "column descriptors");
  std::vector<RawColumn> raw;
  raw.reserve(columnCount);
  for (uint16_t i = 0; i < columnCount; ++i) {
    const uint32_t d = columnsAt + i * size;
    raw.push_back(columnFrom(view.column(d), d));
    // Jet 3 text without a code page of its own is in the database's.
    Column& col = raw.back().column;
    if (info.format == Format::Jet3 && col.codePage == 0 && (col.kind == ColumnKind::Text || col.kind == ColumnKind::Memo)) {
      col.codePage = codePage;
    }
  }
  pos = columnsAt + columnCount * size;
  for (RawColumn& rc : raw) rc.column.name = decodeName(view, codePage, pos);
  for (const RawColumn& rc : raw) {
    if (rc.column.unknownKind && warnings) {
      warnings->push_back("table " + info.def.name + ", column " + rc.column.name + ": unknown column kind 0x" +
                          hexByte(rc.column.rawKind) + ", read as raw bytes");
    }
  }
  // Rows store columns by column number; "Select *" returns them in that order too.
  std::stable_sort(raw.begin(), raw.end(),
                   [](const RawColumn& a, const RawColumn& x) { return a.storage.number < x.storage.number; });
  for (size_t i = 1; i < raw.size(); ++i) {
    if (raw[i].storage.number == raw[i - 1].storage.number) {
      view.fail(columnsAt, "two columns share column number " + std::to_string(raw[i].storage.number));
    }
  }
  for (RawColumn& rc : raw) {
    info.def.columns.push_back(std::move(rc.column));
    info.storage.push_back(rc.storage);
  }
}

int positionOf(const TableInfo& info, uint16_t number) {
  for (size_t i = 0; i < info.storage.size(); ++i) {
    if (info.storage[i].number == number) return static_cast<int>(i);
  }
  return -1;
}

void readRealIndexes(const TableDefView& view, uint32_t realCount, TableInfo& info, uint32_t& pos) {
  const td::RealIndexLayout& ri = td::realIndex(info.format);
  for (uint32_t i = 0; i < realCount; ++i) {
    const codec::RealIndexDescriptor d = view.realIndex(pos);
    RealIndexInfo idx;
    idx.descriptorOffset = pos;
    idx.rowCountOffset = codec::realIndexCountOffset(info.format, i);
    idx.distinctKeysOffset = codec::distinctKeysOffset(info.format, i);
    for (uint32_t s = 0; s < td::kIndexColumnSlots; ++s) {
      const uint16_t number = d.columns[s].number;
      if (number == td::kNoColumn) continue;
      if (positionOf(info, number) < 0) {
        view.fail(pos + ri.columns + s * td::kIndexColumnSlotSize,
                  "index names column number " + std::to_string(number) + ", which does not exist");
      }
      idx.columns.push_back({number, (d.columns[s].order & td::kAscending) != 0});
    }
    idx.usedPages = d.usedPages;
    idx.firstPage = d.firstPage;
    idx.flags = d.flags;
    info.realIndexes.push_back(std::move(idx));
    pos += ri.size;
  }
}

void readLogicalIndexes(const TableDefView& view, uint32_t logicalCount, uint32_t realCount, TableInfo& info,
                        uint32_t& pos) {
  const td::LogicalIndexLayout& li = td::logicalIndex(info.format);
  for (uint32_t i = 0; i < logicalCount; ++i) {
    const codec::LogicalIndexDescriptor d = view.logicalIndex(pos);
    if (d.realIndex >= realCount) view.fail(pos + li.realIndex, "index refers to real index " + std::to_string(d.realIndex));
    LogicalIndexInfo idx;
    idx.descriptorOffset = pos;
    idx.number = d.number;
    idx.realIndex = d.realIndex;
    idx.relatedTableType = d.relatedTableType;
    idx.relatedIndex = d.relatedIndex;
    idx.relatedTablePage = d.relatedTablePage;
    idx.cascadeUpdates = d.cascadeUpdates != 0;
    idx.cascadeDeletes = d.cascadeDeletes != 0;
    idx.type = d.type;
    info.logicalIndexes.push_back(idx);
    pos += li.size;
  }
}

// The public indexes: each logical index with its real index's columns and flags.
void buildIndexes(const std::vector<std::string>& names, TableInfo& info) {
  const size_t logicalCount = info.logicalIndexes.size();
  for (size_t i = 0; i < logicalCount; ++i) {
    const LogicalIndexInfo& l = info.logicalIndexes[i];
    const RealIndexInfo& real = info.realIndexes[l.realIndex];
    Index index;
    index.name = names[i];
    for (const auto& col : real.columns) index.columns.push_back({positionOf(info, col.columnNumber), col.ascending});
    index.primary = l.type == td::kPrimaryKey;
    index.foreignKey = l.type == td::kForeignKey;
    index.unique = index.primary || (real.flags & td::kUnique) != 0;
    index.ignoreNulls = (real.flags & td::kIgnoreNulls) != 0;
    index.required = (real.flags & td::kRequired) != 0;
    index.firstPage = real.firstPage;
    if (index.foreignKey) {
      for (size_t j = 0; j < logicalCount; ++j) {
        if (j != i && info.logicalIndexes[j].realIndex == l.realIndex && info.logicalIndexes[j].type != td::kForeignKey) {
          index.firstPage = 0;  // the tree belongs to the other index
        }
      }
    }
    info.def.indexes.push_back(std::move(index));
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
  const TableDefView view(info.bytes, format,
                          "table definition of " + name + " (page " + std::to_string(info.pages.front()) + ")");

  const codec::TableDefBlock block = readBlock(view, info);
  const uint32_t logicalCount = block.logicalIndexes, realCount = block.realIndexes;
  uint32_t pos = 0;
  readColumns(view, block.columns, realCount, codePage, info, warnings, pos);
  readRealIndexes(view, realCount, info, pos);
  readLogicalIndexes(view, logicalCount, realCount, info, pos);
  std::vector<std::string> indexNames;
  for (uint32_t i = 0; i < logicalCount; ++i) indexNames.push_back(decodeName(view, codePage, pos));
  info.nameEnd = pos;
  buildIndexes(indexNames, info);

  // Column usage maps (long-value columns), until the end marker; older files may stop early.
  codec::ColumnUsageEntry entry;
  for (uint32_t at = pos; view.columnUsage(pos, entry); at = pos) {
    info.columnUsage.push_back(ColumnUsage{entry.columnNumber, entry.ownedPages, entry.freePages, at});
  }
  return info;
}

}  // namespace jet
