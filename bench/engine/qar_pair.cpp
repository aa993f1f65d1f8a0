// Generated QAR26M-shaped pairs for the conversion benchmark (see qar_pair.h).
#include "qar_pair.h"

#include <QDir>
#include <QFile>

#include <stdexcept>
#include <string>

#include "engine/catalogue.h"
#include "jet/database.h"

namespace qar::bench {

PairShape PairShape::scaled(double factor) const {
  PairShape s;
  s.flowRecords = int(flowRecords * factor);
  s.holderRecords = int(holderRecords * factor);
  s.mergeRecords = int(mergeRecords * factor);
  s.otherRecords = int(otherRecords * factor);
  return s;
}

std::optional<jet::Value> keyValue(const jet::Column& column, size_t c, int key, TransferStrategy strategy,
                                   bool source) {
  using jet::ColumnKind;
  const bool oneKey = strategy == TransferStrategy::MergeOneKey && c == 0;
  const bool twoKeys = strategy == TransferStrategy::MergeTwoKeys && c <= 1;
  if (oneKey && column.kind == ColumnKind::Text) {
    char buffer[16];  // a third of the source's keys differ from the destination's in letter case
    std::snprintf(buffer, sizeof buffer, source && key % 3 == 0 ? "k%07d" : "K%07d", key);
    return std::string(buffer);
  }
  if (oneKey) return int32_t(key);
  if (twoKeys) {
    const int part = c == 0 ? key / 8 : key % 8;
    switch (column.kind) {
      case ColumnKind::Integer: return int16_t(part);
      case ColumnKind::Byte: return uint8_t(part);
      case ColumnKind::Text: return std::to_string(part);
      default: return int32_t(part);
    }
  }
  return std::nullopt;
}

std::optional<jet::Value> numberValue(jet::ColumnKind kind, int n) {
  using jet::ColumnKind;
  switch (kind) {
    case ColumnKind::YesNo: return bool(n % 2);
    case ColumnKind::Byte: return uint8_t(n % 250);
    case ColumnKind::Integer: return int16_t(n % 30000);
    case ColumnKind::Long: return int32_t(n);
    case ColumnKind::Currency: return jet::Currency{int64_t(n) * 125};
    case ColumnKind::Single: return float(n % 1000) / 4.0f;
    case ColumnKind::Double: return double(n) / 8.0;
    default: return std::nullopt;
  }
}

namespace {

int recordsFor(const QString& table, const PairShape& shape) {
  if (table == "CRFlowData") return shape.flowRecords;
  switch (strategyFor(table)) {
    case TransferStrategy::PositionalRefresh: return shape.holderRecords;
    case TransferStrategy::MergeOneKey:
    case TransferStrategy::MergeTwoKeys: return shape.mergeRecords;
    case TransferStrategy::ReplaceAll: return shape.otherRecords;
  }
  return 0;
}

std::string fitted(std::string text, const jet::Column& column, bool jet4) {
  const size_t limit = size_t(column.textLength(jet4));
  if (limit > 0 && text.size() > limit) text.resize(limit);
  return text;
}

// The value of column c in the record numbered key (keys decide merge matches).
jet::Value generated(const jet::Column& column, size_t c, int key, TransferStrategy strategy,
                     int testColumn, bool source, bool jet4) {
  using jet::ColumnKind;
  if (column.autoNumber) return jet::Null{};
  if (std::optional<jet::Value> k = keyValue(column, c, key, strategy, source)) return *k;
  if (int(c) == testColumn && source && key % 4 == 3) return std::string("  ");
  const int n = key * 7 + int(c);
  if (std::optional<jet::Value> v = numberValue(column.kind, n)) return *v;
  switch (column.kind) {
    case ColumnKind::DateTime: return jet::DateTime{45000.0 + double(key % 5000) / 4.0};
    case ColumnKind::Text:
      return fitted((source ? "S" : "D") + std::to_string(key) + "-" + std::to_string(c) + " text", column, jet4);
    case ColumnKind::Memo: return std::string("remark for record ") + std::to_string(key);
    default: return jet::Null{};
  }
}

void fill(jet::Database& db, const QString& table, int count, int firstKey, bool source) {
  jet::Table t = db.table(table.toStdString());
  const TransferStrategy strategy = strategyFor(table);
  const int testColumn = refreshTestColumn(table);
  const auto& columns = t.def().columns;
  const bool jet4 = db.format() == jet::Format::Jet4;
  jet::Row row(columns.size());
  for (int i = 0; i < count; ++i) {
    for (size_t c = 0; c < columns.size(); ++c)
      row[c] = generated(columns[c], c, firstKey + i, strategy, testColumn, source, jet4);
    t.insert(row);
  }
}

}  // namespace

jet::TableSpec tableSpecOf(const jet::TableDef& def, bool withIndexes) {
  jet::TableSpec blueprint;
  blueprint.name = def.name;
  for (const jet::Column& c : def.columns) blueprint.columns.push_back(jet::columnSpecOf(c));
  if (withIndexes) {
    for (const jet::Index& index : def.indexes) {
      if (index.foreignKey) continue;
      jet::IndexSpec is;
      is.name = index.name;
      for (const jet::IndexColumn& ic : index.columns)
        is.columns.push_back((ic.ascending ? "" : "-") + def.columns[size_t(ic.column)].name);
      is.primary = index.primary;
      is.unique = index.unique;
      is.ignoreNulls = index.ignoreNulls;
      blueprint.indexes.push_back(is);
    }
  }
  return blueprint;
}

void makePairFiles(const QString& folder, jet::Format format, bool withIndexes,
                   const std::function<void(jet::Database& db, const QString& table, bool source)>& fill) {
  const QString fixtures = QStringLiteral(QAR_FIXTURES_DIR) + "/qar26m/basic/";
  for (const char* side : {"source", "destination"}) {
    const QString target = QDir(folder).filePath(QString(side) + ".mdb");
    QFile::remove(target);
    const QString model = fixtures + side + ".mdb";
    if (!QFile::exists(model)) throw std::runtime_error("the shared fixture pair is absent: " + model.toStdString());
    auto shapes = jet::Database::open(model.toStdString(), jet::OpenMode::ReadOnly);
    auto db = jet::Database::create(target.toStdString(), format);
    const bool source = std::string(side) == "source";
    for (const CatalogueEntry& entry : TableCatalogue) {
      db->createTable(tableSpecOf(shapes->table(entry.name).def(), withIndexes));
      fill(*db, QString::fromLatin1(entry.name), source);
    }
    db->close();
  }
}

std::map<QString, int> makeQarPair(const QString& folder, const PairShape& shape, bool withIndexes,
                                   jet::Format format) {
  std::map<QString, int> counts;
  makePairFiles(folder, format, withIndexes, [&](jet::Database& db, const QString& table, bool source) {
    const int n = recordsFor(table, shape);
    switch (strategyFor(table)) {
      case TransferStrategy::MergeOneKey:
      case TransferStrategy::MergeTwoKeys:
        fill(db, table, n, source ? 0 : n / 2, source);  // half of the keys shared
        break;
      case TransferStrategy::PositionalRefresh:
        fill(db, table, n, 0, source);
        break;
      case TransferStrategy::ReplaceAll:
        fill(db, table, source ? n : n / 2, 0, source);
        break;
    }
    if (source) counts[table] = n;
  });
  return counts;
}

void copyPair(const QString& from, const QString& to) {
  QDir().mkpath(to);
  for (const char* name : {"source.mdb", "destination.mdb"}) {
    QFile::remove(to + "/" + name);
    QFile::copy(from + "/" + name, to + "/" + name);
    QFile::setPermissions(to + "/" + name, QFile::ReadOwner | QFile::WriteOwner);
  }
}

}  // namespace qar::bench
