// The catalog: the MSysObjects table, whose definition is always on page 2, listing every
// object of the database. From it come the user tables and their definition pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/pager/pager.h"
#include "jet/table_info.h"

namespace jet {

inline constexpr uint32_t kCatalogPage = 2;

struct CatalogEntry {
  std::string name;
  uint32_t definitionPage = 0;
  uint32_t flags = 0;
};

// Object kinds and flags as MSysObjects stores them. Values on disk: never change them.
inline constexpr int16_t kObjectTypeTable = 1;
inline constexpr uint32_t kSystemObjectFlag = 0x80000000;
inline constexpr uint32_t kAltSystemObjectFlag = 0x00000002;
inline constexpr uint32_t kHiddenObjectFlag = 0x00000008;
inline constexpr uint32_t kObjectIdPageMask = 0x00FFFFFF;

// Reads the catalog's definition from page 2.
TableInfo readCatalogInfo(Pager& pager, Format format, uint16_t codePage);

// The user tables (type "table", neither system nor hidden, name not starting with "MSys"),
// in catalog scan order.
std::vector<CatalogEntry> readUserTables(Pager& pager, const TableInfo& catalog, uint16_t codePage);

}  // namespace jet
