// Verifies a database's structure without changing it: every page's type, no page claimed by
// two objects, page maps that agree with the pages, row counts that agree with the rows,
// long values that resolve, index trees in order, and every index holding one entry per row
// that belongs in it (rows whose key columns are all Null stay out of an index that ignores
// Nulls) - where the engine can build the index's keys, exactly the entries the rows give.
// One line per defect. Counters Access itself lets drift (a table's row count, its free-space
// map) are warnings, not defects: writing stays safe, and the first write to the table sets
// the count right.
// In a sort order whose keys are proven only for some characters, the entries of rows with
// other characters cannot be verified: they are counted, not reported. One line per defect.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

class DatabaseImpl;

struct StructureReport {
  std::vector<std::string> defects;
  std::vector<std::string> warnings;  // drift
  uint32_t pages = 0;
  uint32_t freePages = 0;  // pages the database's page map lists as free
  uint32_t tables = 0;  // system tables included
  uint64_t rows = 0;
  // Index entries whose keys the engine cannot build (sort orders it does not know, or
  // characters unproven in the index's sort order), so not compared with their rows.
  uint64_t unverifiedEntries = 0;
  bool ok() const { return defects.empty(); }
};

// How far the whole-file check goes. Full: everything above. Layout: every page's owner, the
// page maps and the index trees' shape, without reading the rows (so neither row counts nor
// long values nor index entries are compared, and long-value pages count as lost) - for a
// file whose rows are about to be read out, each one checked as it is, and whose indexes are
// about to be rebuilt (compaction checks its copy in full afterwards).
enum class CheckDepth { Full, Layout };

StructureReport checkStructure(DatabaseImpl& db, CheckDepth depth = CheckDepth::Full);

// The same checks for some user tables only (named as the catalog names them, letter case
// ignored): their definitions, page maps, rows, long values and index trees, and that none
// of their pages is free in the database's page map or claimed twice among them. A name the
// catalog lacks is a defect. Costs what reading those tables costs.
// helper: another read-only open of the same file. When given, a second thread checks some of
// the tables through it (the report is the same as without); when the file changes between the
// two opens or during the check, the check runs again on db alone.
StructureReport checkTables(DatabaseImpl& db, const std::vector<std::string>& tables, DatabaseImpl* helper = nullptr);

}  // namespace jet
