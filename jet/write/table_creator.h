// Creates a user table: checks the definition, writes its definition page(s) and the page
// holding its two usage maps, and registers it in the catalog (MSysObjects) with the access
// entries (MSysACEs) Access gives a new table. All of it is one undoable operation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jet/format/types.h"
#include "jet/schema.h"

namespace jet {
class DatabaseImpl;
}

namespace jet::write {

// Checks blueprint and turns it into the columns the definition stores (numbers, sizes, flags).
// A Text column's size is in bytes: two per character in Jet 4, one (a code page byte) in
// Jet 3. Throws Error(Invalid) naming the problem.
std::vector<Column> columnsForSpec(const TableSpec& blueprint, Format format = Format::Jet4);

// An index as a new definition stores it (one real index per logical one).
struct IndexDefinition {
  std::string name;
  std::vector<uint16_t> columnNumbers;  // in index order
  std::vector<bool> descending;         // by position in columnNumbers; missing ones ascend
  uint8_t flags = 0;                    // format::tabledef::kUnique, kIgnoreNulls, kRequired
  bool primary = false;
  uint8_t usedPagesRow = 0;             // its usage map
  uint32_t usedPagesPage = 0;
  uint32_t firstPage = 0;               // its root page
};

struct DefinitionLayout {
  Format format = Format::Jet4;
  uint16_t codePage = 1252;  // Jet 3: the database's code page (names, text columns)
  uint8_t tableType = 0x4E;  // format::tabledef::kUserTable or kSystemTable
  uint8_t ownedRow = 0, freeRow = 1;
  uint32_t usageMapPage = 0;  // page of both maps
  std::vector<IndexDefinition> indexes;
};

// The definition bytes of a new table in layout.format (page header of the first page
// included). Throws Error(Invalid) when a Jet 3 name has a character the code page lacks.
std::vector<uint8_t> encodeTableDefinition(const std::vector<Column>& columns, const DefinitionLayout& layout);
// A user table without indexes, its usage maps at rows 0 and 1 of usageMapPage.
std::vector<uint8_t> encodeTableDefinition(const std::vector<Column>& columns, uint32_t usageMapPage);

// Turns an encoded definition's first page header into what the format stores: Jet 4 the
// free space left on a page of pageSize holding used bytes, Jet 3 its "VC" tag.
void stampDefinitionPage(Format format, uint8_t* page, size_t used, uint32_t pageSize);

class WriteContext;
// Writes definition bytes over as many pages as they need, starting at first (allocating the
// rest); returns the pages in order. Fills the bytes after each page's type as the format
// has them (Jet 4: the free space; Jet 3: "VC").
std::vector<uint32_t> writeDefinitionPages(WriteContext& ctx, const std::vector<uint8_t>& bytes, uint32_t first);

// Creates the table; returns its definition page.
uint32_t createTable(DatabaseImpl& db, const TableSpec& blueprint);

}  // namespace jet::write
