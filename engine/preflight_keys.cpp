// Source records against the characters the destination's index sort orders can take (see
// preflight_keys.h).
#include "engine/preflight_keys.h"

#include <set>

#include "data/connection.h"
#include "data/field.h"
#include "data/query.h"
#include "engine/catalogue.h"
#include "engine/query_routines.h"
#include "engine/transfer.h"
#include "jet/error.h"
#include "jet/index/key_encoder.h"
#include "jet/index/proven_sort_orders.h"

namespace qar {
namespace {

bool isText(const jet::Column& c) { return c.kind == jet::ColumnKind::Text || c.kind == jet::ColumnKind::Memo; }

// Destination column positions of text index columns whose keys are proven only for some
// characters.
std::set<int> provenOnlyColumns(const jet::TableDef& def, jet::Format format) {
  std::set<int> out;
  for (const jet::Index& index : def.indexes) {
    for (const jet::IndexColumn& ic : index.columns) {
      if (ic.column < 0 || static_cast<size_t>(ic.column) >= def.columns.size()) continue;
      const jet::Column& c = def.columns[static_cast<size_t>(ic.column)];
      if (isText(c) && !jet::encodesEveryText(format, c.sortOrder)) out.insert(ic.column);
    }
  }
  return out;
}

// The refusal for one value, or nothing when its key can be built.
std::optional<QString> offence(const jet::Column& column, const std::string& utf8, const QString& where) {
  try {
    jet::requireProvenText(column.sortOrder, utf8, where.toStdString());
  } catch (const jet::Error& e) {
    return QString::fromUtf8(e.what());
  }
  return std::nullopt;
}

std::optional<QString> checkSourceRecords(data::TADOConnection& source, const QString& name, const jet::TableDef& def,
                                          const std::set<int>& columns) {
  data::TADOQuery query;
  query.setConnection(&source);
  query.setCursorType(data::ctStatic);
  try {
    SelectQuery(query, name);
  } catch (const std::exception&) {
    return std::nullopt;  // the run reports a table it cannot open
  }
  // Column 0 of a refreshed table is never written, nor a record with a blank test column.
  const bool refresh = strategyFor(name) == TransferStrategy::PositionalRefresh;
  const int first = refresh ? 1 : 0;
  const int test = refresh ? refreshTestColumn(name) : -1;
  const int count = query.RecordCount();
  for (int record = 1; record <= count; ++record, query.Next()) {
    if (test >= 0 && test < query.FieldCount() && trimmedTestText(query.Fields(test).AsString()).isEmpty()) continue;
    for (int c : columns) {
      if (c < first || c >= query.FieldCount() || query.Fields(c).IsNull()) continue;
      const jet::Column& column = def.columns[static_cast<size_t>(c)];
      const QString where =
          QStringLiteral("Table %1, record %2, column %3").arg(name).arg(record).arg(QString::fromStdString(column.name));
      if (auto bad = offence(column, query.Fields(c).AsString().toStdString(), where)) return bad;
    }
  }
  return std::nullopt;
}

// An index the engine cannot write at all (a sort order with nothing proven): refused when the
// run would change the table (records to write, or rows a replacement would delete).
std::optional<QString> unwritableIndex(data::TADOConnection& source, const QString& name, const jet::Table& table,
                                       jet::Format format) {
  for (const jet::Index& index : table.def().indexes) {
    const jet::KeyEncoder encoder(table.def(), index, format);
    if (encoder.writable()) continue;
    jet::Database& from = source.readDatabase();
    const std::string tableName = name.toStdString();
    const bool writes = from.hasTable(tableName) && from.table(tableName).rowCount() > 0;
    const bool deletes = strategyFor(name) == TransferStrategy::ReplaceAll && table.rowCount() > 0;
    if (writes || deletes) return QStringLiteral("Table %1: %2").arg(name, QString::fromStdString(encoder.unsupportedReason()));
  }
  return std::nullopt;
}

}  // namespace

std::optional<QString> checkProvenKeys(data::TADOConnection& source, data::TADOConnection& destination,
                                       const std::vector<QString>& tables) {
  jet::Database& db = destination.readDatabase();
  for (const QString& name : tables) {
    const std::string tableName = name.toStdString();
    if (!db.hasTable(tableName)) continue;
    const jet::Table table = db.table(tableName);
    if (auto refusal = unwritableIndex(source, name, table, db.format())) return refusal;
    const std::set<int> columns = provenOnlyColumns(table.def(), db.format());
    if (columns.empty()) continue;
    if (auto bad = checkSourceRecords(source, name, table.def(), columns)) return bad;
  }
  return std::nullopt;
}

}  // namespace qar
