// Table creation: definition encoding, page layout and catalog registration.
#include "jet/write/table_creator.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>

#include "jet/catalog.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/format/header_page.h"
#include "jet/format/table_def.h"
#include "jet/format/usage_map.h"
#include "jet/codec/index_page_builder.h"
#include "jet/table_scan.h"
#include "jet/util/bytes.h"
#include "jet/write/row_encoder.h"
#include "jet/write/usage_map_writer.h"
#include "jet/write/value_encoder.h"
#include "jet/util/names.h"
#include "jet/write/write_session.h"

namespace jet::write {
namespace td = format::tabledef;
namespace fu = format::usagemap;

namespace {

using td::kCascadeFieldsAsWritten;
using td::kDefinitionMagic;
using td::kIndexFlagAlwaysSet;
using td::kMaxColumns;
using td::kMaxNameLength;
using td::kRealIndexMagic;
using format::header::kGeneralSortOrder;
// The owner Access gives new objects when the file does not tell (objects take the owner of
// the database's own entry, MSysDb).
const Bytes kDefaultOwner{0xA6, 0x33};

void checkName(const std::string& what, const std::string& name) {
  if (name.empty()) throw Error(ErrorKind::Invalid, what + " name is empty");
  std::u16string units = utf8ToUtf16(name);
  if (units.size() > kMaxNameLength) {
    throw Error(ErrorKind::Invalid, what + " name '" + name + "' is longer than 64 characters");
  }
  if (name.front() == ' ') throw Error(ErrorKind::Invalid, what + " name '" + name + "' starts with a blank");
  for (char16_t c : units) {
    if (c < 0x20 || c == '.' || c == '!' || c == '`' || c == '[' || c == ']') {
      throw Error(ErrorKind::Invalid, what + " name '" + name + "' contains a character Access does not allow");
    }
  }
}

void appendName(std::vector<uint8_t>& out, const std::string& name) {
  std::vector<uint8_t> bytes = encodeJet4Text(utf8ToUtf16(name), false);
  size_t at = out.size();
  out.resize(at + 2);
  put16(out.data() + at, static_cast<uint16_t>(bytes.size()));
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

std::vector<Column> columnsForSpec(const TableSpec& blueprint) {
  checkName("table", blueprint.name);
  if (blueprint.name.size() >= 4 && equalsIgnoreCase(blueprint.name.substr(0, 4), "MSys")) {
    throw Error(ErrorKind::Invalid, "table name '" + blueprint.name + "' is reserved for system tables");
  }
  if (blueprint.columns.empty()) throw Error(ErrorKind::Invalid, "table " + blueprint.name + " has no columns");
  if (blueprint.columns.size() > kMaxColumns) {
    throw Error(ErrorKind::Invalid, "table " + blueprint.name + " has more than 255 columns");
  }
  std::vector<Column> columns;
  for (size_t i = 0; i < blueprint.columns.size(); ++i) {
    const ColumnSpec& cs = blueprint.columns[i];
    checkName("column", cs.name);
    for (size_t j = 0; j < i; ++j) {
      if (equalsIgnoreCase(blueprint.columns[j].name, cs.name)) {
        throw Error(ErrorKind::Invalid, "table " + blueprint.name + " has two columns named " + cs.name);
      }
    }
    Column c;
    c.name = cs.name;
    c.kind = cs.kind;
    c.columnId = static_cast<uint16_t>(i);
    c.fixed = !isVariableKind(cs.kind);
    if (cs.autoNumber && cs.kind != ColumnKind::Long && cs.kind != ColumnKind::ReplicationID) {
      throw Error(ErrorKind::Invalid, "column " + cs.name + ": only Long and Replication ID columns can be auto-numbers");
    }
    c.autoNumber = cs.autoNumber;
    switch (cs.kind) {
      case ColumnKind::Text: {
        int chars = cs.size == 0 ? 255 : cs.size;
        if (chars < 1 || chars > 255) {
          throw Error(ErrorKind::Invalid, "column " + cs.name + ": a Text column holds 1 to 255 characters");
        }
        c.size = static_cast<uint16_t>(chars * 2);
        c.compressedText = cs.compressedText;
        c.sortOrder = cs.sortOrder.id == 0 ? SortOrder{1033, 0} : cs.sortOrder;  // 0: General
        break;
      }
      case ColumnKind::Memo:
        c.compressedText = cs.compressedText;
        c.sortOrder = cs.sortOrder.id == 0 ? SortOrder{1033, 0} : cs.sortOrder;  // 0: General
        break;
      case ColumnKind::Binary: {
        int bytes = cs.size == 0 ? 255 : cs.size;
        if (bytes < 1 || bytes > 255) {
          throw Error(ErrorKind::Invalid, "column " + cs.name + ": a Binary column holds 1 to 255 bytes");
        }
        c.size = static_cast<uint16_t>(bytes);
        break;
      }
      case ColumnKind::OLE:
        break;
      case ColumnKind::YesNo:
        c.size = 1;
        break;
      case ColumnKind::Decimal:
        if (cs.precision < 1 || cs.precision > 28 || cs.scale > cs.precision) {
          throw Error(ErrorKind::Invalid, "column " + cs.name + ": a Decimal needs 1 to 28 digits, scale at most that");
        }
        c.precision = cs.precision;
        c.scale = cs.scale;
        c.size = static_cast<uint16_t>(fixedWidth(cs.kind));
        break;
      default:
        if (fixedWidth(cs.kind) == 0) {
          throw Error(ErrorKind::Invalid, "column " + cs.name + ": unknown column kind");
        }
        c.size = static_cast<uint16_t>(fixedWidth(cs.kind));
    }
    columns.push_back(std::move(c));
  }
  return columns;
}

std::vector<uint8_t> encodeTableDefinition(const std::vector<Column>& columns, uint32_t usageMapPage) {
  DefinitionLayout layout;
  layout.tableType = td::kUserTable;
  layout.usageMapPage = usageMapPage;
  return encodeTableDefinition(columns, layout);
}

std::vector<uint8_t> encodeTableDefinition(const std::vector<Column>& columns, const DefinitionLayout& def) {
  const td::BlockLayout& b = td::kBlockJet4;
  const td::ColumnLayout& cl = td::kColumnJet4;
  RowLayout layout = layoutForNewTable(columns);
  const uint32_t indexCount = static_cast<uint32_t>(def.indexes.size());
  std::vector<uint8_t> out(b.realIndexCounts + indexCount * b.realIndexCountSize, 0);
  out[0] = td::kPageType;
  out[1] = td::kPageMarker;
  put32(out.data() + td::kDefinitionMagicJet4, kDefinitionMagic);
  out[td::kAlwaysOneJet4] = 0x01;
  out[b.tableType] = def.tableType;
  put16(out.data() + b.maxColumns, static_cast<uint16_t>(columns.size()));
  put16(out.data() + b.varColumns, layout.varColumnCount);
  put16(out.data() + b.columns, static_cast<uint16_t>(columns.size()));
  put32(out.data() + b.logicalIndexes, indexCount);
  put32(out.data() + b.realIndexes, indexCount);
  out[b.ownedPages] = def.ownedRow;
  put24(out.data() + b.ownedPages + 1, def.usageMapPage);
  out[b.freePages] = def.freeRow;
  put24(out.data() + b.freePages + 1, def.usageMapPage);

  for (size_t i = 0; i < columns.size(); ++i) {
    const Column& c = columns[i];
    const ColumnSlot& slot = layout.slots[i];
    uint8_t d[td::kColumnJet4.size] = {};
    d[cl.kind] = static_cast<uint8_t>(c.kind);
    put32(d + td::kColumnMagicJet4, kDefinitionMagic);
    put16(d + cl.number, c.columnId);
    put16(d + cl.varIndex, slot.fixed ? 0 : slot.varIndex);
    put16(d + cl.index, c.columnId);
    if (c.kind == ColumnKind::Decimal) {
      d[cl.precision] = c.precision;
      d[cl.scale] = c.scale;
    } else {
      // Text columns keep the sort order asked for (none given: General); the others General.
      const bool text = (c.kind == ColumnKind::Text || c.kind == ColumnKind::Memo) && c.sortOrder.id != 0;
      put16(d + cl.sortOrder, text ? c.sortOrder.id : kGeneralSortOrder);
      if (text) d[cl.sortVersion] = c.sortOrder.version;
    }
    uint8_t flags = td::kNullable;
    if (slot.fixed) flags |= td::kFixed;
    if (c.autoNumber) flags |= c.kind == ColumnKind::Long ? td::kAutoLong : td::kAutoGuid;
    d[cl.flags] = flags;
    d[cl.extFlags] = c.compressedText ? td::kCompressedUnicode : 0;
    put16(d + cl.fixedOffset, slot.fixed ? slot.fixedOffset : 0);
    put16(d + cl.length, isLongValueKind(c.kind) ? 0 : c.size);
    out.insert(out.end(), d, d + sizeof d);
  }
  for (const Column& c : columns) appendName(out, c.name);
  const td::RealIndexLayout& ri = td::kRealIndexJet4;
  const td::LogicalIndexLayout& li = td::kLogicalIndexJet4;
  for (const IndexDefinition& index : def.indexes) {
    std::vector<uint8_t> block(ri.size, 0);
    put32(block.data(), kRealIndexMagic);
    for (uint32_t slot = 0; slot < td::kIndexColumnSlots; ++slot) {
      uint8_t* at = block.data() + ri.columns + slot * td::kIndexColumnSlotSize;
      if (slot < index.columnNumbers.size()) {
        put16(at, index.columnNumbers[slot]);
        const bool descending = slot < index.descending.size() && index.descending[slot];
        at[2] = descending ? td::kDescending : td::kAscending;
      } else {
        put16(at, td::kNoColumn);
      }
    }
    block[ri.usedPages] = index.usedPagesRow;
    put24(block.data() + ri.usedPages + 1, index.usedPagesPage);
    put32(block.data() + ri.firstPage, index.firstPage);
    block[ri.flags] = static_cast<uint8_t>(index.flags | kIndexFlagAlwaysSet);
    out.insert(out.end(), block.begin(), block.end());
  }
  for (uint32_t i = 0; i < indexCount; ++i) {
    std::vector<uint8_t> block(li.size, 0);
    put32(block.data(), kDefinitionMagic);
    put32(block.data() + li.number, i);
    put32(block.data() + li.realIndex, i);
    put32(block.data() + li.relatedIndex, 0xFFFFFFFF);
    block[li.cascadeUpdates] = kCascadeFieldsAsWritten;
    block[li.cascadeDeletes] = kCascadeFieldsAsWritten;
    block[li.type] = def.indexes[i].primary ? td::kPrimaryKey : 0;
    out.insert(out.end(), block.begin(), block.end());
  }
  for (const IndexDefinition& index : def.indexes) appendName(out, index.name);
  out.push_back(0xFF);  // no column usage maps
  out.push_back(0xFF);
  put32(out.data() + td::kLength, static_cast<uint32_t>(out.size()));
  return out;
}

// Writes definition bytes over as many pages as they need (the first one given).
std::vector<uint32_t> writeDefinitionPages(WriteContext& ctx, const std::vector<uint8_t>& bytes, uint32_t first) {
  const uint32_t pageSize = ctx.blueprint().pageSize;
  std::vector<uint32_t> pages{first};
  size_t at = 0;
  uint32_t current = first;
  while (true) {
    uint8_t* page = ctx.modify(current);
    std::memset(page, 0, pageSize);
    size_t room = pages.size() == 1 ? pageSize : pageSize - td::kPageHeaderSize;
    size_t n = std::min(room, bytes.size() - at);
    size_t dest = pages.size() == 1 ? 0 : td::kPageHeaderSize;
    std::memcpy(page + dest, bytes.data() + at, n);
    page[0] = td::kPageType;
    page[1] = td::kPageMarker;
    at += n;
    size_t usedOnPage = dest + n;
    // Access counts 8 bytes more than the page holds.
    put16(page + td::kFreeSpace, static_cast<uint16_t>(usedOnPage + td::kFreeSpaceSlack >= pageSize
                                                           ? 0
                                                           : pageSize - usedOnPage - td::kFreeSpaceSlack));
    if (at >= bytes.size()) {
      put32(page + td::kNextPage, 0);
      break;
    }
    uint32_t next = ctx.allocate();
    put32(ctx.modify(current) + td::kNextPage, next);
    pages.push_back(next);
    current = next;
  }
  return pages;
}

namespace {

// The catalog's own table and its access entries, for writing.
TableImpl& systemTable(DatabaseImpl& db, const std::string& name, uint32_t page) {
  return db.table(CatalogEntry{name, page, kSystemObjectFlag});
}

}  // namespace

// The indexes of a new table from their specs: names and columns checked, one primary key
// at most (unique, and its columns required).
std::vector<IndexDefinition> indexesForSpec(const TableSpec& blueprint) {
  std::vector<IndexDefinition> out;
  bool havePrimary = false;
  for (const IndexSpec& is : blueprint.indexes) {
    checkName("index", is.name);
    for (const IndexDefinition& other : out) {
      if (equalsIgnoreCase(other.name, is.name)) {
        throw Error(ErrorKind::Invalid, "table " + blueprint.name + " has two indexes named " + is.name);
      }
    }
    if (is.columns.empty()) throw Error(ErrorKind::Invalid, "index " + is.name + " has no columns");
    if (is.columns.size() > td::kIndexColumnSlots) {
      throw Error(ErrorKind::Invalid, "index " + is.name + " has more than " + std::to_string(td::kIndexColumnSlots) +
                                          " columns");
    }
    if (is.primary && havePrimary) throw Error(ErrorKind::Invalid, "table " + blueprint.name + " has two primary keys");
    havePrimary = havePrimary || is.primary;
    IndexDefinition def;
    def.name = is.name;
    def.primary = is.primary;
    def.flags = static_cast<uint8_t>((is.primary || is.unique ? td::kUnique : 0) | (is.ignoreNulls ? td::kIgnoreNulls : 0) |
                                     (is.primary ? td::kRequired : 0));
    for (const std::string& given : is.columns) {
      // A leading '-' asks for descending order (unless the column's own name has it).
      auto find = [&](std::string_view name) {
        int found = -1;
        for (size_t i = 0; i < blueprint.columns.size(); ++i) {
          if (equalsIgnoreCase(blueprint.columns[i].name, name)) found = static_cast<int>(i);
        }
        return found;
      };
      int found = find(given);
      bool descending = false;
      if (found < 0 && given.size() > 1 && given.front() == '-') {
        found = find(std::string_view(given).substr(1));
        descending = found >= 0;
      }
      const std::string name = descending ? given.substr(1) : given;
      if (found < 0) throw Error(ErrorKind::Invalid, "index " + is.name + " names no column of the table: " + given);
      const ColumnKind kind = blueprint.columns[found].kind;
      if (kind == ColumnKind::OLE) {
        throw Error(ErrorKind::Invalid, "index " + is.name + ": column " + name + " (OLE) cannot be indexed");
      }
      for (uint16_t n : def.columnNumbers) {
        if (n == found) throw Error(ErrorKind::Invalid, "index " + is.name + " names column " + name + " twice");
      }
      def.columnNumbers.push_back(static_cast<uint16_t>(found));
      def.descending.push_back(descending);
    }
    out.push_back(std::move(def));
  }
  return out;
}

uint32_t createTable(DatabaseImpl& db, const TableSpec& blueprint) {
  if (db.header.format != Format::Jet4) {
    throw Error(ErrorKind::Unsupported, "creating tables in Jet 3 (Access 97) files is not supported");
  }
  std::vector<Column> columns = columnsForSpec(blueprint);
  std::vector<IndexDefinition> indexes = indexesForSpec(blueprint);
  WriteSession& session = db.writer();
  WriteContext& ctx = session.context();

  TableImpl& catalog = systemTable(db, "MSysObjects", kCatalogPage);
  const TableDef& cdef = catalog.info.def;
  int cId = cdef.findColumn("Id"), cParent = cdef.findColumn("ParentId"), cName = cdef.findColumn("Name"),
      cType = cdef.findColumn("Type"), cCreate = cdef.findColumn("DateCreate"),
      cUpdate = cdef.findColumn("DateUpdate"), cOwner = cdef.findColumn("Owner"), cFlags = cdef.findColumn("Flags");
  if (cId < 0 || cParent < 0 || cName < 0 || cType < 0) {
    throw Error(ErrorKind::Corrupt, "the catalog (MSysObjects) lacks its Id, ParentId, Name or Type column");
  }
  // Look at the catalog: no object of that name among the tables, where the tables hang,
  // who owns new objects, and where the access entries live.
  int32_t parent = kTablesId;
  Bytes owner = kDefaultOwner;
  uint32_t acesPage = 0;
  std::vector<std::pair<int32_t, Row>> catalogRows;
  {
    TableScanner scanner(ctx.pager(), catalog.info);
    RowBytes bytes;
    Row row;
    while (scanner.next(bytes)) {
      catalog.decoder.decode(bytes.data, bytes.size, bytes.id, row);
      const auto* name = std::get_if<std::string>(&row[cName]);
      const auto* type = std::get_if<int16_t>(&row[cType]);
      if (!name) continue;
      if (*name == "MSysObjects" && std::holds_alternative<int32_t>(row[cParent])) parent = std::get<int32_t>(row[cParent]);
      if (*name == "MSysDb" && cOwner >= 0 && std::holds_alternative<Bytes>(row[cOwner]) &&
          !std::get<Bytes>(row[cOwner]).empty()) {
        owner = std::get<Bytes>(row[cOwner]);
      }
      if (*name == "MSysACEs" && type && *type == kObjectTypeTable && std::holds_alternative<int32_t>(row[cId])) {
        acesPage = static_cast<uint32_t>(std::get<int32_t>(row[cId])) & kObjectIdPageMask;
      }
      catalogRows.emplace_back(std::holds_alternative<int32_t>(row[cParent]) ? std::get<int32_t>(row[cParent]) : 0, row);
    }
  }
  for (const auto& [rowParent, row] : catalogRows) {
    const auto* name = std::get_if<std::string>(&row[cName]);
    if (rowParent == parent && name && equalsIgnoreCase(*name, blueprint.name)) {
      throw Error(ErrorKind::Invalid, "a table named " + *name + " already exists");
    }
  }
  // The access entries a new table inherits: one per account the table container lists.
  std::vector<Bytes> sids;
  TableImpl* aces = nullptr;
  int aObject = -1, aSid = -1, aAcm = -1, aInherit = -1;
  if (acesPage != 0) {
    aces = &systemTable(db, "MSysACEs", acesPage);
    const TableDef& adef = aces->info.def;
    aObject = adef.findColumn("ObjectId");
    aSid = adef.findColumn("SID");
    aAcm = adef.findColumn("ACM");
    aInherit = adef.findColumn("FInheritable");
    if (aObject < 0 || aSid < 0 || aAcm < 0 || aInherit < 0) {
      aces = nullptr;
    } else {
      TableScanner scanner(ctx.pager(), aces->info);
      RowBytes bytes;
      Row row;
      while (scanner.next(bytes)) {
        aces->decoder.decode(bytes.data, bytes.size, bytes.id, row);
        if (row[aObject] == Value(parent) && std::holds_alternative<Bytes>(row[aSid])) {
          sids.push_back(std::get<Bytes>(row[aSid]));
        }
      }
    }
  }
  if (aces && sids.empty()) sids.push_back(kDefaultOwner);

  TableWriter& catalogWriter = session.writer(catalog);
  TableWriter* acesWriter = aces ? &session.writer(*aces) : nullptr;
  uint32_t definitionPage = inOperation(ctx, [&] {
    uint32_t first = ctx.allocate();
    uint32_t mapPage = ctx.allocate();
    DefinitionLayout layout;
    layout.tableType = td::kUserTable;
    layout.usageMapPage = mapPage;
    // Each index: an empty leaf as its root, and its own page map (rows 2 on) naming it.
    for (size_t i = 0; i < indexes.size(); ++i) {
      indexes[i].firstPage = ctx.allocate();
      indexes[i].usedPagesPage = mapPage;
      indexes[i].usedPagesRow = static_cast<uint8_t>(2 + i);
      IndexPageHeader header;
      header.tableDefinitionPage = first;
      buildIndexPage(header, {}, Format::Jet4, std::span<uint8_t>(ctx.modify(indexes[i].firstPage), ctx.blueprint().pageSize));
    }
    layout.indexes = indexes;
    std::vector<uint8_t> definition = encodeTableDefinition(columns, layout);
    writeDefinitionPages(ctx, definition, first);
    // The page of the table's usage maps (owned pages, pages with free space, then one per
    // index): inline, the table's mapping nothing yet.
    uint8_t* page = ctx.modify(mapPage);
    initDataPage(ctx.blueprint(), page, 0);
    std::vector<uint8_t> map(fu::kInlineBitmap + fu::kTableMapSizeJet4, 0);
    addRow(ctx.blueprint(), page, map);
    addRow(ctx.blueprint(), page, map);
    for (size_t i = 0; i < indexes.size(); ++i) {
      addRow(ctx.blueprint(), page, map);
      UsageMapWriter(ctx, mapPage, indexes[i].usedPagesRow).add(indexes[i].firstPage);
    }

    double now = currentDateTime();
    Row entry(cdef.columns.size(), Null{});
    entry[cId] = static_cast<int32_t>(first);
    entry[cParent] = parent;
    entry[cName] = blueprint.name;
    entry[cType] = kObjectTypeTable;
    if (cCreate >= 0) entry[cCreate] = DateTime{now};
    if (cUpdate >= 0) entry[cUpdate] = DateTime{now};
    if (cOwner >= 0) entry[cOwner] = owner;
    if (cFlags >= 0) entry[cFlags] = int32_t{0};
    catalogWriter.insert(entry);
    if (acesWriter) {
      for (const Bytes& sid : sids) {
        Row ace(aces->info.def.columns.size(), Null{});
        ace[aObject] = static_cast<int32_t>(first);
        ace[aSid] = sid;
        ace[aAcm] = kFullAccess;
        ace[aInherit] = false;
        acesWriter->insert(ace);
      }
    }
    return first;
  });
  db.addUserTable(CatalogEntry{blueprint.name, definitionPage, 0});
  return definitionPage;
}

}  // namespace jet::write
