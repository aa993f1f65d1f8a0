// Catalog reading.
#include "jet/catalog.h"

#include <cctype>

#include "jet/error.h"
#include "jet/row_decoder.h"
#include "jet/table_scan.h"
#include "jet/util/names.h"

namespace jet {

TableInfo readCatalogInfo(Pager& pager, Format format, uint16_t codePage) {
  if (pager.pageCount() <= kCatalogPage) {
    throw Error(ErrorKind::Corrupt, "the file has " + std::to_string(pager.pageCount()) +
                                        " pages; the catalog (page 2) is missing");
  }
  return readTableInfo(pager, format, kCatalogPage, "MSysObjects", codePage, nullptr);
}

namespace {

int requireColumn(const TableInfo& catalog, const char* name) {
  int index = catalog.def.findColumn(name);
  if (index < 0) {
    throw Error(ErrorKind::Corrupt, std::string("page 2: the catalog has no ") + name + " column");
  }
  return index;
}

template <typename T>
bool get(const Value& v, T& out) {
  if (const T* p = std::get_if<T>(&v)) {
    out = *p;
    return true;
  }
  return false;
}

bool startsWithMSys(const std::string& name) { return startsWithIgnoreCase(name, "MSys"); }

}  // namespace

std::vector<CatalogEntry> readTableObjects(Pager& pager, const TableInfo& catalog, uint16_t codePage) {
  const int idColumn = requireColumn(catalog, "Id");
  const int nameColumn = requireColumn(catalog, "Name");
  const int typeColumn = requireColumn(catalog, "Type");
  const int flagsColumn = requireColumn(catalog, "Flags");

  RowDecoder decoder(catalog, pager, codePage);
  TableScanner scanner(pager, catalog);
  std::vector<CatalogEntry> tables;
  RowBytes bytes;
  Row row;
  while (scanner.next(bytes)) {
    decoder.decode(bytes.data, bytes.size, bytes.id, row);
    int16_t type = 0;
    if (!get(row[typeColumn], type) || type != kObjectTypeTable) continue;
    int32_t id = 0, flags = 0;
    std::string name;
    if (!get(row[idColumn], id) || !get(row[nameColumn], name)) continue;
    get(row[flagsColumn], flags);
    const uint32_t page = static_cast<uint32_t>(id) & kObjectIdPageMask;
    if (page == kCatalogPage) continue;
    tables.push_back(CatalogEntry{std::move(name), page, static_cast<uint32_t>(flags)});
  }
  return tables;
}

std::vector<CatalogEntry> readUserTables(Pager& pager, const TableInfo& catalog, uint16_t codePage) {
  std::vector<CatalogEntry> tables;
  for (CatalogEntry& entry : readTableObjects(pager, catalog, codePage)) {
    if (entry.flags & (kSystemObjectFlag | kAltSystemObjectFlag | kHiddenObjectFlag)) continue;
    if (startsWithMSys(entry.name)) continue;
    if (entry.definitionPage == 0 || entry.definitionPage >= pager.pageCount()) {
      throw Error(ErrorKind::Corrupt, "catalog: table " + entry.name + " has its definition on page " +
                                          std::to_string(entry.definitionPage) + ", past the end of the file");
    }
    tables.push_back(std::move(entry));
  }
  return tables;
}

}  // namespace jet
