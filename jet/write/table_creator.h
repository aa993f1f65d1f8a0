// Creates a user table: checks the definition, writes its definition page(s) and the page
// holding its two usage maps, and registers it in the catalog (MSysObjects) with the access
// entries (MSysACEs) Access gives a new table. All of it is one undoable operation.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/schema.h"

namespace jet {
class DatabaseImpl;
}

namespace jet::write {

// Checks spec and turns it into the columns the definition stores (numbers, sizes, flags).
// Throws Error(Invalid) naming the problem.
std::vector<Column> columnsForSpec(const TableSpec& spec);

// The definition bytes of a new Jet 4 table (page header of the first page included), with
// its usage maps at rows 0 and 1 of usageMapPage.
std::vector<uint8_t> encodeTableDefinition(const std::vector<Column>& columns, uint32_t usageMapPage);

// Creates the table; returns its definition page.
uint32_t createTable(DatabaseImpl& db, const TableSpec& spec);

}  // namespace jet::write
