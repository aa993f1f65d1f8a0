// The catalog: the MSysObjects table, whose definition is always on page 2, listing every
// object of the database. From it come the user tables and their definition pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/format/catalog.h"
#include "jet/pager/pager.h"
#include "jet/table_info.h"

namespace jet {

struct CatalogEntry {
  std::string name;
  uint32_t definitionPage = 0;
  uint32_t flags = 0;
};

// The catalog's on-disk facts (its page, object kinds and flags) are in jet/format/catalog.h.
using namespace format::catalog;

// Reads the catalog's definition from page 2.
TableInfo readCatalogInfo(Pager& pager, Format format, uint16_t codePage);

// Every table object the catalog lists but the catalog itself, system and hidden ones
// included, in catalog scan order. Definition pages are as stored, not checked.
std::vector<CatalogEntry> readTableObjects(Pager& pager, const TableInfo& catalog, uint16_t codePage);

// The user tables (type "table", neither system nor hidden, name not starting with "MSys"),
// in catalog scan order.
std::vector<CatalogEntry> readUserTables(Pager& pager, const TableInfo& catalog, uint16_t codePage);

}  // namespace jet
