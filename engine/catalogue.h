// The eighteen tables of a QAR26M database, each with everything the program knows about it:
// processing order, the transfer strategy and the columns it works on, whether it is ticked
// when the main window opens, the cell of its box in the window's table grid, and the table
// it cannot go without. The main window and the headless command both read this one list.
#pragma once

#include <QString>
#include <QStringList>

#include <array>

#include "engine/run_outcome.h"

namespace qar {

// How one table is carried over: the strategy, and the columns it works on (-1 when unused).
//   MergeOneKey: key column keyColumn;  MergeTwoKeys: keyColumn, then secondKeyColumn;
//   PositionalRefresh: test column keyColumn;  ReplaceAll: none.
struct TableRule {
  TransferStrategy strategy = TransferStrategy::ReplaceAll;
  int keyColumn = -1;
  int secondKeyColumn = -1;
};

struct CatalogueEntry {
  const char* name;           // the table name, also the check box's caption
  TableRule rule;
  bool tickedAtStart;
  int boxColumn;              // 1..3 in the "Database Table" group
  int boxRow;                 // 1..6
  const char* requiredTable;  // a table whose records this one refers to, or nullptr;
                              // selecting this table selects that one too
};

inline constexpr int kGridColumns = 3;
inline constexpr int kGridRows = 6;

// Creation order of the boxes = processing order of a conversion.
extern const std::array<CatalogueEntry, 18> TableCatalogue;

// Position of name in TableCatalogue (exact, case-sensitive), or -1.
int catalogueIndex(const QString& name);
// The entry named name (exact, case-sensitive), or nullptr.
const CatalogueEntry* catalogueEntry(const QString& name);

// The names ticked at start, in processing order (seven tables).
QStringList defaultTables();

// Puts the given names into processing order after the dependency rule (HolderData without
// DepartmentData brings DepartmentData in). Raises qar::Exception naming any name that is not
// in the catalogue. Duplicates count once.
QStringList orderedSelection(const QStringList& names);

// The rule a table's name selects (exact, case-sensitive); every name outside the catalogue
// is replaced whole.
TableRule tableRule(const QString& table);
TransferStrategy strategyFor(const QString& table);
// The test column of a positional-refresh table (2 for CardData, 6 for HolderData), else -1.
int refreshTestColumn(const QString& table);

}  // namespace qar
