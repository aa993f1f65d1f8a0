// What the row writer asks of a table's indexes. The index code implements it; the writer
// calls check* before it changes any page (a duplicate key refuses the write with nothing
// written) and the on* calls after the row is in place, inside the same undoable operation.
#pragma once

#include "jet/format/types.h"
#include "jet/value.h"

namespace jet::write {

class IndexMaintainer {
 public:
  virtual ~IndexMaintainer() = default;
  // Throws Error(Constraint) when a unique index would get a duplicate key.
  virtual void checkInsert(const Row& row) = 0;
  virtual void checkUpdate(RowId id, const Row& oldRow, const Row& newRow) = 0;
  virtual void onInsert(RowId id, const Row& row) = 0;
  virtual void onUpdate(RowId id, const Row& oldRow, const Row& newRow) = 0;
  virtual void onRemove(RowId id, const Row& oldRow) = 0;
  // Every row of the table was taken out or written back at once (compaction): row ids
  // changed wholesale, so whatever the upkeep keeps per row is to be read again.
  virtual void onRowsReplaced() = 0;
};

}  // namespace jet::write
