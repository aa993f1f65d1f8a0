// Row operations and table creation of the public API, handed to the write side.
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/write/table_creator.h"
#include "jet/write/write_session.h"

namespace jet {

RowId Table::insert(Row& row) { return db_->writer().writer(*impl_).insert(row); }
void Table::update(RowId id, const Row& newRow) { db_->writer().writer(*impl_).update(id, newRow); }
void Table::remove(RowId id) { db_->writer().writer(*impl_).remove(id); }
uint32_t Table::removeAll() { return db_->writer().writer(*impl_).removeAll(); }

Table Database::createTable(const TableSpec& blueprint) {
  uint32_t page = write::createTable(*impl_, blueprint);
  return Table(impl_.get(), &impl_->table(CatalogEntry{blueprint.name, page, 0}));
}

}  // namespace jet
