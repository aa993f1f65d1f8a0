// Table's row operations of the public API, handed to the table's row writer.
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/write/write_session.h"

namespace jet {

RowId Table::insert(Row& row) { return db_->writer().writer(*impl_).insert(row); }
void Table::update(RowId id, const Row& newRow) { db_->writer().writer(*impl_).update(id, newRow); }
void Table::remove(RowId id) { db_->writer().writer(*impl_).remove(id); }
uint32_t Table::removeAll() { return db_->writer().writer(*impl_).removeAll(); }

}  // namespace jet
