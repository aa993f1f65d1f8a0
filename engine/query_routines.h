// The two statement routines the run opens and empties tables with. The SQL text is the
// fixed words followed directly by the table name, neither quoted nor bracketed; the query's
// other settings (connection, cursor type) are left as they are.
#pragma once

#include <QString>

namespace qar::data {
class TADOQuery;
}

namespace qar {

// Close query, make its statement "Select * From <table>" and open it: it then stands on its
// first record.
void SelectQuery(data::TADOQuery& query, const QString& table);
// Close query, make its statement "Delete From <table>" and execute it; returns the number
// of records deleted.
int DeleteQuery(data::TADOQuery& query, const QString& table);
// Close query and make sure its connection's database has the table, failing as SelectQuery
// would when it has not, without reading the table's records (for a table about to be
// emptied).
void RequireTable(data::TADOQuery& query, const QString& table);

}  // namespace qar
