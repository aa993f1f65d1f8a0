// The eighteen tables of a QAR26M database in processing order, which of them are ticked
// when the main window opens, where their boxes sit, and which transfer strategy each
// table's name selects.
#pragma once

#include <QString>
#include <QStringList>

#include <array>

#include "engine/run_outcome.h"

namespace qar {

struct CatalogueEntry {
  const char* name;    // the table name, also the check box's caption
  bool tickedAtStart;
  int boxColumn;       // 1..3 in the "Database Table" group
  int boxRow;          // 1..6
};

// Creation order of the boxes = processing order of a conversion.
extern const std::array<CatalogueEntry, 18> TableCatalogue;

// Position of name in TableCatalogue (exact, case-sensitive), or -1.
int catalogueIndex(const QString& name);

// The names ticked at start, in processing order (seven tables).
QStringList defaultTables();

// Puts the given names into processing order after the HolderData rule (HolderData without
// DepartmentData brings DepartmentData in). Raises qar::Exception naming any name that is not
// in the catalogue. Duplicates count once.
QStringList orderedSelection(const QStringList& names);

// The strategy a table's name selects: exact, case-sensitive comparison with the names of
// the four rules in turn; every other name is replaced whole.
TransferStrategy strategyFor(const QString& table);
// The test column of a positional-refresh table (2 for CardData, 6 for HolderData), else -1.
int refreshTestColumn(const QString& table);

}  // namespace qar
