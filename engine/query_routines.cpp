// SelectQuery and DeleteQuery (see query_routines.h).
#include "engine/query_routines.h"

#include "data/connection.h"
#include "data/query.h"

namespace qar {

void SelectQuery(data::TADOQuery& query, const QString& table) {
  query.Close();
  query.SQL().Clear();
  query.SQL().Add(QStringLiteral("Select * From ") + table);
  query.Open();
}

int DeleteQuery(data::TADOQuery& query, const QString& table) {
  query.Close();
  query.SQL().Clear();
  query.SQL().Add(QStringLiteral("Delete From ") + table);
  return query.ExecSQL();
}

void RequireTable(data::TADOQuery& query, const QString& table) {
  query.Close();
  if (!query.Connection()) {
    // As opening it would: the query names no connection.
    SelectQuery(query, table);
    return;
  }
  query.Connection()->requireTable(table);
}

}  // namespace qar
