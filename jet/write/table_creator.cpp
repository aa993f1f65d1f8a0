// Table creation: definition encoding, page layout and catalog registration.
#include "jet/write/table_creator.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>

#include "jet/catalog.h"
#include "jet/open_database.h"
#include "jet/error.h"
#include "jet/format/header_page.h"
#include "jet/format/table_def.h"
#include "jet/format/usage_map.h"
#include "jet/codec/index_page_builder.h"
#include "jet/codec/table_def_builder.h"
#include "jet/table_scan.h"
#include "jet/util/bytes.h"
#include "jet/write/code_page_text.h"
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
using td::kIndexFlagAlwaysSet;
using td::kMaxColumns;
using td::kMaxNameLength;
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

}  // namespace

std::vector<Column> columnsForSpec(const TableSpec& blueprint, Format format) {
  const uint16_t bytesPerChar = format == Format::Jet3 ? 1 : 2;
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
        c.size = static_cast<uint16_t>(chars * bytesPerChar);
        c.compressedText = format == Format::Jet4 && cs.compressedText;
        c.sortOrder = cs.sortOrder.id == 0 ? SortOrder{1033, 0} : cs.sortOrder;  // 0: General
        break;
      }
      case ColumnKind::Memo:
        c.compressedText = format == Format::Jet4 && cs.compressedText;
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
        if (format == Format::Jet3) {
          throw Error(ErrorKind::Invalid, "column " + cs.name + ": Access 97 files have no Decimal columns");
        }
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

namespace {

codec::ColumnDescriptor columnDescriptor(const Column& c, const ColumnSlot& slot, const DefinitionLayout& def) {
  codec::ColumnDescriptor d;
  d.kind = static_cast<uint8_t>(c.kind);
  d.number = c.columnId;
  d.varIndex = slot.fixed ? 0 : slot.varIndex;
  d.index = c.columnId;
  if (c.kind == ColumnKind::Decimal) {
    d.precision = c.precision;
    d.scale = c.scale;
  } else {
    // Text columns keep the sort order asked for (none given: General); the others General.
    const bool text = (c.kind == ColumnKind::Text || c.kind == ColumnKind::Memo) && c.sortOrder.id != 0;
    d.sortOrder = text ? c.sortOrder.id : kGeneralSortOrder;
    if (text) d.sortVersion = c.sortOrder.version;
    // Jet 3 gives every column the database's code page (its text is stored in it).
    if (def.format == Format::Jet3) d.codePage = def.codePage;
  }
  d.flags = td::kNullable;
  if (slot.fixed) d.flags |= td::kFixed;
  if (c.autoNumber) d.flags |= c.kind == ColumnKind::Long ? td::kAutoLong : td::kAutoGuid;
  d.extFlags = c.compressedText ? td::kCompressedUnicode : 0;
  d.fixedOffset = slot.fixed ? slot.fixedOffset : 0;
  d.length = isLongValueKind(c.kind) ? 0 : c.size;
  return d;
}

codec::RealIndexDescriptor realIndexDescriptor(const IndexDefinition& index, Format format) {
  codec::RealIndexDescriptor d;
  for (uint32_t slot = 0; slot < index.columnNumbers.size() && slot < td::kIndexColumnSlots; ++slot) {
    const bool descending = slot < index.descending.size() && index.descending[slot];
    d.columns[slot] = codec::IndexColumnSlot{index.columnNumbers[slot], descending ? td::kDescending : td::kAscending};
  }
  d.usedPages = RowRef{index.usedPagesRow, index.usedPagesPage};
  d.firstPage = index.firstPage;
  d.flags = static_cast<uint8_t>(index.flags | (format == Format::Jet4 ? kIndexFlagAlwaysSet : 0));
  return d;
}

codec::LogicalIndexDescriptor logicalIndexDescriptor(const IndexDefinition& index, uint32_t number) {
  codec::LogicalIndexDescriptor d;
  d.number = number;
  d.realIndex = number;  // one real index per logical one
  d.cascadeUpdates = kCascadeFieldsAsWritten;
  d.cascadeDeletes = kCascadeFieldsAsWritten;
  d.type = index.primary ? td::kPrimaryKey : 0;
  return d;
}

// A name as the definition stores it: UTF-16 in Jet 4, code page bytes in Jet 3.
std::vector<uint8_t> storedName(const std::string& name, const DefinitionLayout& def) {
  if (def.format == Format::Jet4) return encodeJet4Text(utf8ToUtf16(name), false);
  Column holder;
  holder.name = name;
  try {
    return encodeCodePageText(holder, name, def.codePage);
  } catch (const Error& e) {
    // The encoder words it for a column's value; here the name itself is at fault.
    const std::string what = e.what();
    const size_t cause = what.find("': ");
    throw Error(e.kind(), "name '" + name + "'" + (cause == std::string::npos ? ": " + what : what.substr(cause + 1)));
  }
}

}  // namespace

std::vector<uint8_t> encodeTableDefinition(const std::vector<Column>& columns, const DefinitionLayout& def) {
  RowLayout layout = layoutForNewTable(columns);
  const uint32_t indexCount = static_cast<uint32_t>(def.indexes.size());
  codec::TableDefBlock block;
  block.tableType = def.tableType;
  block.maxColumns = static_cast<uint16_t>(columns.size());
  block.varColumns = layout.varColumnCount;
  block.columns = static_cast<uint16_t>(columns.size());
  block.logicalIndexes = indexCount;
  block.realIndexes = indexCount;
  block.ownedPages = RowRef{def.ownedRow, def.usageMapPage};
  block.freePages = RowRef{def.freeRow, def.usageMapPage};

  codec::TableDefBuilder builder(def.format);
  builder.begin(block);
  for (size_t i = 0; i < columns.size(); ++i) builder.addColumn(columnDescriptor(columns[i], layout.slots[i], def));
  for (const Column& c : columns) builder.addName(storedName(c.name, def));
  for (const IndexDefinition& index : def.indexes) builder.addRealIndex(realIndexDescriptor(index, def.format));
  for (uint32_t i = 0; i < indexCount; ++i) builder.addLogicalIndex(logicalIndexDescriptor(def.indexes[i], i));
  for (const IndexDefinition& index : def.indexes) builder.addName(storedName(index.name, def));
  return builder.finish();  // no column usage maps
}

void stampDefinitionPage(Format format, uint8_t* page, size_t used, uint32_t pageSize) {
  if (format == Format::Jet3) {
    put16(page + td::kFreeSpace, td::kPageTagJet3);
    return;
  }
  // Access counts 8 bytes more than the page holds.
  put16(page + td::kFreeSpace,
        static_cast<uint16_t>(used + td::kFreeSpaceSlack >= pageSize ? 0 : pageSize - used - td::kFreeSpaceSlack));
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
    stampDefinitionPage(ctx.blueprint().format, page, dest + n, pageSize);
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

namespace {

// What creating a table needs to know from the catalog: where tables hang, who owns new
// objects, and where the access entries live. Throws Error(Invalid) when a table of that
// name exists.
struct CatalogSurvey {
  int cId, cParent, cName, cType, cCreate, cUpdate, cOwner, cFlags;
  int32_t parent = kTablesId;
  Bytes owner = kDefaultOwner;
  uint32_t acesPage = 0;
};

CatalogSurvey surveyCatalog(WriteContext& ctx, TableImpl& catalog, const std::string& tableName) {
  const TableDef& cdef = catalog.info.def;
  CatalogSurvey s{cdef.findColumn("Id"),         cdef.findColumn("ParentId"),   cdef.findColumn("Name"),
                  cdef.findColumn("Type"),       cdef.findColumn("DateCreate"), cdef.findColumn("DateUpdate"),
                  cdef.findColumn("Owner"),      cdef.findColumn("Flags")};
  if (s.cId < 0 || s.cParent < 0 || s.cName < 0 || s.cType < 0) {
    throw Error(ErrorKind::Corrupt, "the catalog (MSysObjects) lacks its Id, ParentId, Name or Type column");
  }
  std::vector<std::pair<int32_t, Row>> catalogRows;
  TableScanner scanner(ctx.pager(), catalog.info);
  RowBytes bytes;
  Row row;
  while (scanner.next(bytes)) {
    catalog.decoder.decode(bytes.data, bytes.size, bytes.id, row);
    const auto* name = std::get_if<std::string>(&row[s.cName]);
    const auto* type = std::get_if<int16_t>(&row[s.cType]);
    if (!name) continue;
    if (*name == "MSysObjects" && std::holds_alternative<int32_t>(row[s.cParent])) {
      s.parent = std::get<int32_t>(row[s.cParent]);
    }
    if (*name == "MSysDb" && s.cOwner >= 0 && std::holds_alternative<Bytes>(row[s.cOwner]) &&
        !std::get<Bytes>(row[s.cOwner]).empty()) {
      s.owner = std::get<Bytes>(row[s.cOwner]);
    }
    if (*name == "MSysACEs" && type && *type == kObjectTypeTable && std::holds_alternative<int32_t>(row[s.cId])) {
      s.acesPage = static_cast<uint32_t>(std::get<int32_t>(row[s.cId])) & kObjectIdPageMask;
    }
    catalogRows.emplace_back(std::holds_alternative<int32_t>(row[s.cParent]) ? std::get<int32_t>(row[s.cParent]) : 0,
                             row);
  }
  for (const auto& [rowParent, entry] : catalogRows) {
    const auto* name = std::get_if<std::string>(&entry[s.cName]);
    if (rowParent == s.parent && name && equalsIgnoreCase(*name, tableName)) {
      throw Error(ErrorKind::Invalid, "a table named " + *name + " already exists");
    }
  }
  return s;
}

// The access entries a new table inherits: one per account the table container lists.
struct InheritedAces {
  TableImpl* table = nullptr;  // null: the file keeps none (or not in the columns known)
  int aObject = -1, aSid = -1, aAcm = -1, aInherit = -1;
  std::vector<Bytes> sids;
};

InheritedAces inheritedAces(DatabaseImpl& db, WriteContext& ctx, const CatalogSurvey& survey) {
  InheritedAces out;
  if (survey.acesPage == 0) return out;
  TableImpl& aces = systemTable(db, "MSysACEs", survey.acesPage);
  const TableDef& adef = aces.info.def;
  out.aObject = adef.findColumn("ObjectId");
  out.aSid = adef.findColumn("SID");
  out.aAcm = adef.findColumn("ACM");
  out.aInherit = adef.findColumn("FInheritable");
  if (out.aObject < 0 || out.aSid < 0 || out.aAcm < 0 || out.aInherit < 0) return out;
  out.table = &aces;
  TableScanner scanner(ctx.pager(), aces.info);
  RowBytes bytes;
  Row row;
  while (scanner.next(bytes)) {
    aces.decoder.decode(bytes.data, bytes.size, bytes.id, row);
    if (row[out.aObject] == Value(survey.parent) && std::holds_alternative<Bytes>(row[out.aSid])) {
      out.sids.push_back(std::get<Bytes>(row[out.aSid]));
    }
  }
  if (out.sids.empty()) out.sids.push_back(kDefaultOwner);
  return out;
}

// Writes the definition, the index roots and the page of the table's usage maps (owned
// pages, pages with free space, then one per index; the table's mapping nothing yet).
void writeTablePages(WriteContext& ctx, const std::vector<Column>& columns, std::vector<IndexDefinition> indexes,
                     uint32_t first, uint32_t mapPage, uint16_t codePage) {
  const Format format = ctx.blueprint().format;
  DefinitionLayout layout;
  layout.format = format;
  layout.codePage = codePage;
  layout.tableType = td::kUserTable;
  layout.usageMapPage = mapPage;
  // Each index: an empty leaf as its root, and its own page map (rows 2 on) naming it.
  for (size_t i = 0; i < indexes.size(); ++i) {
    indexes[i].firstPage = ctx.allocate();
    indexes[i].usedPagesPage = mapPage;
    indexes[i].usedPagesRow = static_cast<uint8_t>(2 + i);
    IndexPageHeader header;
    header.tableDefinitionPage = first;
    buildIndexPage(header, {}, format, std::span<uint8_t>(ctx.modify(indexes[i].firstPage), ctx.blueprint().pageSize));
  }
  layout.indexes = indexes;
  writeDefinitionPages(ctx, encodeTableDefinition(columns, layout), first);
  uint8_t* page = ctx.modify(mapPage);
  initDataPage(ctx.blueprint(), page, 0);
  std::vector<uint8_t> map(fu::kInlineBitmap + fu::tableMapSize(format), 0);
  addRow(ctx.blueprint(), page, map);
  addRow(ctx.blueprint(), page, map);
  for (size_t i = 0; i < indexes.size(); ++i) {
    addRow(ctx.blueprint(), page, map);
    UsageMapWriter(ctx, mapPage, indexes[i].usedPagesRow).add(indexes[i].firstPage);
  }
}

// The table's catalog entry and its access entries.
void registerTable(WriteSession& session, TableImpl& catalog, const CatalogSurvey& s, const InheritedAces& aces,
                   const std::string& name, uint32_t first) {
  double now = currentDateTime();
  Row entry(catalog.info.def.columns.size(), Null{});
  entry[s.cId] = static_cast<int32_t>(first);
  entry[s.cParent] = s.parent;
  entry[s.cName] = name;
  entry[s.cType] = kObjectTypeTable;
  if (s.cCreate >= 0) entry[s.cCreate] = DateTime{now};
  if (s.cUpdate >= 0) entry[s.cUpdate] = DateTime{now};
  if (s.cOwner >= 0) entry[s.cOwner] = s.owner;
  if (s.cFlags >= 0) entry[s.cFlags] = int32_t{0};
  session.writer(catalog).insert(entry);
  if (!aces.table) return;
  TableWriter& acesWriter = session.writer(*aces.table);
  for (const Bytes& sid : aces.sids) {
    Row ace(aces.table->info.def.columns.size(), Null{});
    ace[aces.aObject] = static_cast<int32_t>(first);
    ace[aces.aSid] = sid;
    ace[aces.aAcm] = kFullAccess;
    ace[aces.aInherit] = false;
    acesWriter.insert(ace);
  }
}

}  // namespace

uint32_t createTable(DatabaseImpl& db, const TableSpec& blueprint) {
  const Format format = db.header.format;
  std::vector<Column> columns = columnsForSpec(blueprint, format);
  std::vector<IndexDefinition> indexes = indexesForSpec(blueprint);
  WriteSession& session = db.writer();
  WriteContext& ctx = session.context();

  TableImpl& catalog = systemTable(db, "MSysObjects", kCatalogPage);
  const CatalogSurvey survey = surveyCatalog(ctx, catalog, blueprint.name);
  const InheritedAces aces = inheritedAces(db, ctx, survey);
  // The writers are made before the operation starts, which then only writes.
  session.writer(catalog);
  if (aces.table) session.writer(*aces.table);
  uint32_t definitionPage = inOperation(ctx, [&] {
    uint32_t first = ctx.allocate();
    uint32_t mapPage = ctx.allocate();
    writeTablePages(ctx, columns, indexes, first, mapPage, db.header.codePage);
    registerTable(session, catalog, survey, aces, blueprint.name, first);
    return first;
  });
  db.addUserTable(CatalogEntry{blueprint.name, definitionPage, 0});
  return definitionPage;
}

}  // namespace jet::write
