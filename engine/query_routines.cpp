// SelectQuery and DeleteQuery (see query_routines.h).
#include "engine/query_routines.h"

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

}  // namespace qar
