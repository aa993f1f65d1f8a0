// Verifies a database's structure without changing it: every page's type, no page claimed by
// two objects, page maps that agree with the pages, row counts that agree with the rows,
// long values that resolve, index trees in order, and every index holding one entry per row
// that belongs in it (rows whose key columns are all Null stay out of an index that ignores
// Nulls) - where the engine can build the index's keys, exactly the entries the rows give.
// One line per defect.
#pragma once

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
  bool ok() const { return defects.empty(); }
};

StructureReport checkStructure(DatabaseImpl& db);

}  // namespace jet
