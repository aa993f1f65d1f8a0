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

constexpr uint32_t kPageSize = fh::kPageSizeJet4;
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

const std::vector<SystemTable>& systemTables() {
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

// Pages of a new file: 0 header, 1 page map, 2-5 system table definitions, 6 their usage
// maps, 7 onwards the (empty) root pages of their indexes.
constexpr uint32_t kUsageMapPage = 6;
constexpr uint32_t kFirstIndexPage = 7;

constexpr int16_t kContainerType = kObjectTypeContainer;
constexpr int16_t kDatabaseType = kObjectTypeDatabase;
constexpr int32_t kSystemFlags = static_cast<int32_t>(kSystemObjectFlag);

// The account identifiers the Jet engine writes into a new database: the creator (owner of
// the containers and system tables), the administrator (owner of the database entry), and
// the two groups whose access entries the containers carry.
const Bytes kCreatorSid{0x65, 0x89};
const Bytes kAdminSid{0x64, 0x8B};
const Bytes kAdminsGroupSid{0x65, 0x8E};
const Bytes kUsersGroupSid{0x65, 0x8B};

struct AccessEntry {
  int32_t object;
  const Bytes* sid;
  int32_t rights;
  bool inheritable;
};

std::vector<AccessEntry> accessEntries() {
  return {
      {2, &kAdminSid, 0x60000, false},          {3, &kAdminSid, 0x60000, false},
      {4, &kAdminSid, 0x60000, false},          {5, &kAdminSid, 0xE0000, false},
      {kTablesId, &kAdminsGroupSid, 0xF01FE, true}, {kTablesId, &kAdminSid, 0x60001, false},
      {kRelationshipsId, &kAdminsGroupSid, 0xF01FE, true}, {kRelationshipsId, &kAdminSid, 0x60001, false},
      {kDatabasesId, &kAdminSid, 0x60000, false}, {kDatabaseEntryId, &kAdminSid, 0x6000E, false},
      {kDatabaseEntryId, &kUsersGroupSid, 0xE, false}, {4, &kUsersGroupSid, 0x14, false},
      {5, &kUsersGroupSid, 0x14, false},        {2, &kUsersGroupSid, 0x14, false},
      {kTablesId, &kUsersGroupSid, 0xFFEFF, true}, {kRelationshipsId, &kUsersGroupSid, 0xFFFFF, true},
  };
}

std::vector<uint8_t> headerPage(double created) {
  std::vector<uint8_t> page(kPageSize, 0);
  page[1] = fh::kPageMarker;
  std::memcpy(page.data() + fh::kEngineName, fh::kJetEngineName, fh::kEngineNameSize);
  page[fh::kVersion] = fh::kVersionJet4;
  for (size_t i = 0; i < std::size(fh::kEngineValuesJet4); ++i) {
    put32(page.data() + fh::kMaskedRegion + 4 * i, fh::kEngineValuesJet4[i]);
  }
  codec::HeaderFields fields;
  fields.codePage = kCodePage;
  fields.sortOrder = SortOrder{kGeneralSortOrder, 0};
  fields.created = created;
  codec::writeHeaderFields(page.data(), Format::Jet4, fields);
  codec::applyHeaderMask(Format::Jet4, page.data());
  put32(page.data() + fh::kEngineTagJet4, fh::kEngineTagValueJet4);
  std::memcpy(page.data() + fh::kEngineTextJet4, fh::kEngineTextValueJet4, sizeof fh::kEngineTextValueJet4);
  for (uint32_t at = fh::kWordTableJet4; at < kPageSize; at += 2) put16(page.data() + at, fh::kWordTableWord);
  put16(page.data() + fh::kWordTableJet4, fh::kWordTableFirst);
  return page;
}

PageSpec blueprint() { return PageSpec{Format::Jet4, kPageSize}; }

std::vector<uint8_t> inlineMap(std::initializer_list<uint32_t> pages) {
  std::vector<uint8_t> row(fu::kInlineBitmap + fu::kTableMapSizeJet4, 0);
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

void writeEmptyDatabaseFile(const std::string& path) {
  const double created = currentDateTime();
  uint32_t indexPages = 0;
  for (const auto& t : systemTables()) indexPages += static_cast<uint32_t>(t.indexes.size());
  const uint32_t pageCount = kFirstIndexPage + indexPages;
  std::vector<std::vector<uint8_t>> pages(pageCount, std::vector<uint8_t>(kPageSize, 0));
  pages[0] = headerPage(created);

  // Page 1: the database's page map (set bits are free pages: all past the file's end), and a
  // second map row the engine keeps empty.
  initDataPage(blueprint(), pages[fu::kDatabaseMapPage].data(), fu::kDatabaseMapPage);
  {
    std::vector<uint8_t> map = inlineMap({});
    for (uint32_t p = pageCount; p < fu::kTableMapSizeJet4 * 8; ++p) {
      codec::setBit(map.data() + fu::kInlineBitmap, p, true);
    }
    addRow(blueprint(), pages[fu::kDatabaseMapPage].data(), map);
    addRow(blueprint(), pages[fu::kDatabaseMapPage].data(), inlineMap({}));
  }

  // Page 6: the system tables' usage maps (owned pages, free space) and their indexes' maps.
  initDataPage(blueprint(), pages[kUsageMapPage].data(), 0);
  uint8_t mapRow = 0;
  uint32_t nextIndexPage = kFirstIndexPage;
  std::vector<DefinitionLayout> layouts;
  for ([[maybe_unused]] const auto& t : systemTables()) {
    DefinitionLayout layout;
    layout.tableType = td::kSystemTable;
    layout.usageMapPage = kUsageMapPage;
    layout.ownedRow = mapRow++;
    layout.freeRow = mapRow++;
    addRow(blueprint(), pages[kUsageMapPage].data(), inlineMap({}));
    addRow(blueprint(), pages[kUsageMapPage].data(), inlineMap({}));
    layouts.push_back(layout);
  }
  for (size_t ti = 0; ti < systemTables().size(); ++ti) {
    const auto& t = systemTables()[ti];
    for (const auto& ix : t.indexes) {
      IndexDefinition def;
      def.name = ix.name;
      def.columnNumbers = ix.columns;
      def.flags = ix.flags;
      def.primary = ix.primary;
      def.usedPagesRow = mapRow++;
      def.usedPagesPage = kUsageMapPage;
      def.firstPage = nextIndexPage;
      addRow(blueprint(), pages[kUsageMapPage].data(), inlineMap({nextIndexPage}));
      // An empty leaf: the whole entry area free.
      const IndexPageLayout& il = kJet4IndexPage;
      uint8_t* leaf = pages[nextIndexPage].data();
      leaf[0] = kIndexLeafPage;
      leaf[1] = kIndexPageMarker;
      put16(leaf + il.freeSpace, static_cast<uint16_t>(il.pageSize - il.entries()));
      put32(leaf + il.tableDefinition, t.definitionPage);
      ++nextIndexPage;
      layouts[ti].indexes.push_back(def);
    }
  }
  for (size_t ti = 0; ti < systemTables().size(); ++ti) {
    const auto& t = systemTables()[ti];
    std::vector<uint8_t> definition = encodeTableDefinition(columnsOf(t), layouts[ti]);
    if (definition.size() > kPageSize) throw Error(ErrorKind::Invalid, std::string("definition of ") + t.name + " too long");
    std::memcpy(pages[t.definitionPage].data(), definition.data(), definition.size());
    put16(pages[t.definitionPage].data() + 2, static_cast<uint16_t>(kPageSize - definition.size() - 8));
  }

  auto file = openFile(path, FileAccess::Create);
  try {
    for (uint32_t p = 0; p < pageCount; ++p) file->writeAt(static_cast<uint64_t>(p) * kPageSize, pages[p].data(), kPageSize);
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
    entry(kTablesId, kRootId, "Tables", kContainerType, kCreatorSid);
    entry(kDatabasesId, kRootId, "Databases", kContainerType, kCreatorSid);
    entry(kRelationshipsId, kRootId, "Relationships", kContainerType, kCreatorSid);
    entry(kDatabaseEntryId, kDatabasesId, "MSysDb", kDatabaseType, kAdminSid);
    for (const auto& t : systemTables()) {
      entry(static_cast<int32_t>(t.definitionPage), kTablesId, t.name, kObjectTypeTable, kCreatorSid);
    }
    const TableDef& d = aces.info.def;
    for (const AccessEntry& a : accessEntries()) {
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
