// The pages of a new database and the rows of its system tables.
#include "jet/write/database_creator.h"

#include <chrono>
#include <cmath>
#include <cstring>

#include "jet/catalog.h"
#include "jet/codec/header_page.h"
#include "jet/codec/usage_map_view.h"
#include "jet/open_database.h"
#include "jet/error.h"
#include "jet/format/data_page.h"
#include "jet/format/header_page.h"
#include "jet/format/table_def.h"
#include "jet/format/usage_map.h"
#include "jet/header.h"
#include "jet/format/index_page.h"
#include "jet/codec/index_page_builder.h"
#include "jet/io/file.h"
#include "jet/util/bytes.h"
#include "jet/write/table_creator.h"
#include "jet/write/value_encoder.h"
#include "jet/write/write_session.h"

namespace jet::write {
namespace fh = format::header;
namespace td = format::tabledef;
namespace fu = format::usagemap;

namespace {

constexpr uint16_t kCodePage = 1252;  // what Access writes in a new file's header
using fh::kGeneralSortOrder;

// The system tables of a new database, as the Jet engine defines them: columns by column
// number, and their indexes (column numbers, flags, primary key).
struct SystemColumn {
  const char* name;
  ColumnKind kind;
  uint16_t length;  // bytes for Text and Binary
};
struct SystemIndex {
  const char* name;
  std::vector<uint16_t> columns;
  uint8_t flags;
  bool primary;
};
struct SystemTable {
  const char* name;
  uint32_t definitionPage;
  std::vector<SystemColumn> columns;
  std::vector<SystemIndex> indexes;
};

const std::vector<SystemTable>& jet4SystemTables() {
  using K = ColumnKind;
  static const std::vector<SystemTable> tables{
      {"MSysObjects",
       2,
       {{"Id", K::Long, 4},           {"ParentId", K::Long, 4},      {"Name", K::Text, 510},
        {"Type", K::Integer, 2},      {"DateCreate", K::DateTime, 8}, {"DateUpdate", K::DateTime, 8},
        {"Owner", K::Binary, 510},    {"Flags", K::Long, 4},         {"Database", K::Memo, 0},
        {"Connect", K::Memo, 0},      {"ForeignName", K::Text, 510}, {"RmtInfoShort", K::Binary, 510},
        {"RmtInfoLong", K::OLE, 0},   {"Lv", K::OLE, 0},             {"LvProp", K::OLE, 0},
        {"LvModule", K::OLE, 0},      {"LvExtra", K::OLE, 0}},
       {{"Id", {0}, td::kUnique, true}, {"ParentIdName", {1, 2}, td::kUnique, false}}},
      {"MSysACEs",
       3,
       {{"ObjectId", K::Long, 4}, {"SID", K::Binary, 510}, {"ACM", K::Long, 4}, {"FInheritable", K::YesNo, 1}},
       {{"ObjectId", {0}, td::kRequired, false}}},
      {"MSysQueries",
       4,
       {{"ObjectId", K::Long, 4}, {"Attribute", K::Byte, 1}, {"Order", K::Binary, 510}, {"Name1", K::Text, 510},
        {"Name2", K::Text, 510}, {"Expression", K::Memo, 0}, {"Flag", K::Integer, 2}, {"LvExtra", K::Long, 4}},
       {{"ObjectIdAttribute", {0, 1, 2}, td::kUnique, true}}},
      {"MSysRelationships",
       5,
       {{"szRelationship", K::Text, 510}, {"grbit", K::Long, 4}, {"ccolumn", K::Long, 4}, {"icolumn", K::Long, 4},
        {"szObject", K::Text, 510}, {"szColumn", K::Text, 510}, {"szReferencedObject", K::Text, 510},
        {"szReferencedColumn", K::Text, 510}},
       {{"szObject", {4}, td::kIgnoreNulls, false},
        {"szReferencedObject", {6}, td::kIgnoreNulls, false},
        {"szRelationship", {0}, td::kIgnoreNulls, false}}},
  };
  return tables;
}

// Jet 3 defines the same tables with one byte per character of text and binary columns of
// 255 bytes; its MSysQueries has no LvExtra column.
std::vector<SystemTable> jet3SystemTables() {
  std::vector<SystemTable> tables = jet4SystemTables();
  for (SystemTable& t : tables) {
    if (std::string_view(t.name) == "MSysQueries") t.columns.pop_back();
    for (SystemColumn& c : t.columns) {
      if (c.kind == ColumnKind::Text || c.kind == ColumnKind::Binary) c.length = 255;
    }
  }
  return tables;
}

const std::vector<SystemTable>& systemTables(Format format) {
  static const std::vector<SystemTable> jet3 = jet3SystemTables();
  return format == Format::Jet3 ? jet3 : jet4SystemTables();
}

// Pages of a new file: 0 header, 1 page map, 2-5 system table definitions, 6 their usage
// maps, 7 onwards the (empty) root pages of their indexes.
constexpr uint32_t kUsageMapPage = 6;
constexpr uint32_t kFirstIndexPage = 7;

constexpr int16_t kContainerType = kObjectTypeContainer;
constexpr int16_t kDatabaseType = kObjectTypeDatabase;
constexpr int32_t kSystemFlags = static_cast<int32_t>(kSystemObjectFlag);

// The account identifiers the Jet engine writes into a new database: the creator (owner of
// the containers and system tables), the administrator (owner of the database entry), and
// the two groups whose access entries the containers carry. Jet 3 numbers them otherwise.
struct Accounts {
  Bytes creator, admin, adminsGroup, usersGroup;
};
const Accounts& accounts(Format format) {
  static const Accounts jet4{{0x65, 0x89}, {0x64, 0x8B}, {0x65, 0x8E}, {0x65, 0x8B}};
  static const Accounts jet3{{0x02, 0x03}, {0x03, 0x01}, {0x02, 0x04}, {0x02, 0x01}};
  return format == Format::Jet3 ? jet3 : jet4;
}

struct AccessEntry {
  int32_t object;
  const Bytes* sid;
  int32_t rights;
  bool inheritable;
};

std::vector<AccessEntry> accessEntries(Format format) {
  const Accounts& a = accounts(format);
  const Bytes* const admin = &a.admin;
  const Bytes* const admins = &a.adminsGroup;
  const Bytes* const users = &a.usersGroup;
  // Jet 3 lets the administrator create tables (inherited by new ones) and gives the
  // administrators' group a little less on the containers.
  const bool jet3 = format == Format::Jet3;
  const AccessEntry tablesAdmin = jet3 ? AccessEntry{kTablesId, admin, 0xFFEFF, true}
                                       : AccessEntry{kTablesId, admin, 0x60001, false};
  const int32_t groupRights = jet3 ? 0xF00FE : 0xF01FE;
  return {
      {2, admin, 0x60000, false},          {3, admin, 0x60000, false},
      {4, admin, 0x60000, false},          {5, admin, 0xE0000, false},
      {kTablesId, admins, groupRights, true}, tablesAdmin,
      {kRelationshipsId, admins, groupRights, true}, {kRelationshipsId, admin, 0x60001, false},
      {kDatabasesId, admin, 0x60000, false}, {kDatabaseEntryId, admin, 0x6000E, false},
      {kDatabaseEntryId, users, 0xE, false}, {4, users, 0x14, false},
      {5, users, 0x14, false},        {2, users, 0x14, false},
      {kTablesId, users, 0xFFEFF, true}, {kRelationshipsId, users, 0xFFFFF, true},
  };
}

std::vector<uint8_t> headerPage(Format format, double created) {
  const uint32_t pageSize = pageSizeOf(format);
  const bool jet3 = format == Format::Jet3;
  std::vector<uint8_t> page(pageSize, 0);
  page[1] = fh::kPageMarker;
  std::memcpy(page.data() + fh::kEngineName, fh::kJetEngineName, fh::kEngineNameSize);
  page[fh::kVersion] = jet3 ? fh::kVersionJet3 : fh::kVersionJet4;
  for (size_t i = 0; i < std::size(fh::kEngineValuesJet4); ++i) {
    put32(page.data() + fh::kMaskedRegion + 4 * i, fh::kEngineValuesJet4[i]);
  }
  if (jet3) {
    put16(page.data() + fh::kEngineWordJet3, fh::kEngineWordValueJet3);
    put16(page.data() + fh::kEngineStampJet3, fh::kEngineStampValueJet3);
  }
  codec::HeaderFields fields;
  fields.codePage = kCodePage;
  fields.sortOrder = SortOrder{kGeneralSortOrder, 0};
  fields.created = created;
  codec::writeHeaderFields(page.data(), format, fields);
  codec::applyHeaderMask(format, page.data());
  if (!jet3) {
    put32(page.data() + fh::kEngineTagJet4, fh::kEngineTagValueJet4);
    std::memcpy(page.data() + fh::kEngineTextJet4, fh::kEngineTextValueJet4, sizeof fh::kEngineTextValueJet4);
  }
  const uint32_t wordTable = jet3 ? fh::kWordTableJet3 : fh::kWordTableJet4;
  for (uint32_t at = wordTable; at < pageSize; at += 2) put16(page.data() + at, fh::kWordTableWord);
  put16(page.data() + wordTable, fh::kWordTableFirst);
  return page;
}

std::vector<uint8_t> inlineMap(Format format, std::initializer_list<uint32_t> pages) {
  std::vector<uint8_t> row(fu::kInlineBitmap + fu::tableMapSize(format), 0);
  for (uint32_t p : pages) codec::setBit(row.data() + fu::kInlineBitmap, p, true);
  return row;
}

std::vector<Column> columnsOf(const SystemTable& t) {
  std::vector<Column> columns;
  for (size_t i = 0; i < t.columns.size(); ++i) {
    Column c;
    c.name = t.columns[i].name;
    c.kind = t.columns[i].kind;
    c.columnId = static_cast<uint16_t>(i);
    c.size = t.columns[i].length;
    c.fixed = c.kind != ColumnKind::Text && c.kind != ColumnKind::Binary && c.kind != ColumnKind::Memo &&
              c.kind != ColumnKind::OLE;
    columns.push_back(c);
  }
  return columns;
}

}  // namespace

void writeEmptyDatabaseFile(const std::string& path, Format format) {
  const double created = currentDateTime();
  const uint32_t pageSize = pageSizeOf(format);
  const PageSpec pageFormat{format, pageSize};
  const std::vector<SystemTable>& tables = systemTables(format);
  uint32_t indexPages = 0;
  for (const auto& t : tables) indexPages += static_cast<uint32_t>(t.indexes.size());
  const uint32_t pageCount = kFirstIndexPage + indexPages;
  std::vector<std::vector<uint8_t>> pages(pageCount, std::vector<uint8_t>(pageSize, 0));
  pages[0] = headerPage(format, created);

  // Page 1: the database's page map (set bits are free pages: all past the file's end), and a
  // second map row the engine keeps empty.
  initDataPage(pageFormat, pages[fu::kDatabaseMapPage].data(), fu::kDatabaseMapPage);
  {
    std::vector<uint8_t> map = inlineMap(format, {});
    for (uint32_t p = pageCount; p < fu::tableMapSize(format) * 8; ++p) {
      codec::setBit(map.data() + fu::kInlineBitmap, p, true);
    }
    addRow(pageFormat, pages[fu::kDatabaseMapPage].data(), map);
    addRow(pageFormat, pages[fu::kDatabaseMapPage].data(), inlineMap(format, {}));
  }

  // Page 6: the system tables' usage maps (owned pages, free space) and their indexes' maps.
  initDataPage(pageFormat, pages[kUsageMapPage].data(), 0);
  uint8_t mapRow = 0;
  uint32_t nextIndexPage = kFirstIndexPage;
  std::vector<DefinitionLayout> layouts;
  for ([[maybe_unused]] const auto& t : tables) {
    DefinitionLayout layout;
    layout.tableType = td::kSystemTable;
    layout.usageMapPage = kUsageMapPage;
    layout.ownedRow = mapRow++;
    layout.freeRow = mapRow++;
    addRow(pageFormat, pages[kUsageMapPage].data(), inlineMap(format, {}));
    addRow(pageFormat, pages[kUsageMapPage].data(), inlineMap(format, {}));
    layouts.push_back(layout);
  }
  for (size_t ti = 0; ti < tables.size(); ++ti) {
    const auto& t = tables[ti];
    for (const auto& ix : t.indexes) {
      IndexDefinition def;
      def.name = ix.name;
      def.columnNumbers = ix.columns;
      def.flags = ix.flags;
      def.primary = ix.primary;
      def.usedPagesRow = mapRow++;
      def.usedPagesPage = kUsageMapPage;
      def.firstPage = nextIndexPage;
      addRow(pageFormat, pages[kUsageMapPage].data(), inlineMap(format, {nextIndexPage}));
      // An empty leaf: the whole entry area free.
      IndexPageHeader leaf;
      leaf.tableDefinitionPage = t.definitionPage;
      buildIndexPage(leaf, {}, format, std::span<uint8_t>(pages[nextIndexPage]));
      ++nextIndexPage;
      layouts[ti].indexes.push_back(def);
    }
  }
  for (size_t ti = 0; ti < tables.size(); ++ti) {
    const auto& t = tables[ti];
    layouts[ti].format = format;
    layouts[ti].codePage = kCodePage;
    std::vector<uint8_t> definition = encodeTableDefinition(columnsOf(t), layouts[ti]);
    if (definition.size() > pageSize) throw Error(ErrorKind::Invalid, std::string("definition of ") + t.name + " too long");
    std::memcpy(pages[t.definitionPage].data(), definition.data(), definition.size());
    stampDefinitionPage(format, pages[t.definitionPage].data(), definition.size(), pageSize);
  }

  auto file = openFile(path, FileAccess::Create);
  try {
    for (uint32_t p = 0; p < pageCount; ++p) file->writeAt(static_cast<uint64_t>(p) * pageSize, pages[p].data(), pageSize);
    file->sync();
  } catch (...) {
    file.reset();
    std::remove(path.c_str());
    throw;
  }
}

// Fills the catalog and the access entries of a file writeEmptyDatabaseFile made.
void addSystemRows(DatabaseImpl& db) {
  WriteSession& session = db.writer();
  TableImpl& catalog = db.table(CatalogEntry{"MSysObjects", kCatalogPage, kSystemObjectFlag});
  TableImpl& aces = db.table(CatalogEntry{"MSysACEs", 3, kSystemObjectFlag});
  TableWriter& catalogWriter = session.writer(catalog);
  TableWriter& acesWriter = session.writer(aces);
  const double now = currentDateTime();
  const Format format = db.header.format;
  const Accounts& sids = accounts(format);
  const Bytes& creator = sids.creator;
  const Bytes& admin = sids.admin;
  auto entry = [&](int32_t id, int32_t parent, const char* name, int16_t type, const Bytes& owner) {
    Row row(catalog.info.def.columns.size(), Null{});
    const TableDef& d = catalog.info.def;
    row[d.findColumn("Id")] = id;
    row[d.findColumn("ParentId")] = parent;
    row[d.findColumn("Name")] = std::string(name);
    row[d.findColumn("Type")] = type;
    row[d.findColumn("DateCreate")] = DateTime{now};
    row[d.findColumn("DateUpdate")] = DateTime{now};
    row[d.findColumn("Owner")] = owner;
    row[d.findColumn("Flags")] = kSystemFlags;
    catalogWriter.insert(row);
  };
  inOperation(session.context(), [&] {
    entry(kTablesId, kRootId, "Tables", kContainerType, creator);
    entry(kDatabasesId, kRootId, "Databases", kContainerType, creator);
    entry(kRelationshipsId, kRootId, "Relationships", kContainerType, creator);
    entry(kDatabaseEntryId, kDatabasesId, "MSysDb", kDatabaseType, admin);
    for (const auto& t : systemTables(format)) {
      entry(static_cast<int32_t>(t.definitionPage), kTablesId, t.name, kObjectTypeTable, creator);
    }
    const TableDef& d = aces.info.def;
    for (const AccessEntry& a : accessEntries(format)) {
      Row row(d.columns.size(), Null{});
      row[d.findColumn("ObjectId")] = a.object;
      row[d.findColumn("SID")] = *a.sid;
      row[d.findColumn("ACM")] = a.rights;
      row[d.findColumn("FInheritable")] = a.inheritable;
      acesWriter.insert(row);
    }
  });
}

}  // namespace jet::write
