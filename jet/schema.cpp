// Names of column kinds and small look-ups on table definitions.
#include "jet/schema.h"

#include <array>
#include <utility>

#include "jet/util/names.h"

namespace jet {
namespace {

struct KindName {
  std::string_view name;
  ColumnKind kind;
};

constexpr std::array<KindName, 14> kKindNames{{
    {"Text", ColumnKind::Text},
    {"Memo", ColumnKind::Memo},
    {"YesNo", ColumnKind::YesNo},
    {"Byte", ColumnKind::Byte},
    {"Integer", ColumnKind::Integer},
    {"Long", ColumnKind::Long},
    {"Currency", ColumnKind::Currency},
    {"Single", ColumnKind::Single},
    {"Double", ColumnKind::Double},
    {"DateTime", ColumnKind::DateTime},
    {"OLE", ColumnKind::OLE},
    {"ReplicationID", ColumnKind::ReplicationID},
    {"Decimal", ColumnKind::Decimal},
    {"Binary", ColumnKind::Binary},
}};

}  // namespace

std::string_view kindName(ColumnKind kind, bool autoNumber) {
  if (autoNumber && kind == ColumnKind::Long) return "AutoNumber";
  for (const auto& k : kKindNames) {
    if (k.kind == kind) return k.name;
  }
  return "Unknown";
}

std::optional<ParsedKind> parseKindName(std::string_view name) {
  if (equalsIgnoreCase(name, "AutoNumber")) return ParsedKind{ColumnKind::Long, true};
  for (const auto& k : kKindNames) {
    if (equalsIgnoreCase(name, k.name)) return ParsedKind{k.kind, false};
  }
  return std::nullopt;
}

std::string describe(SortOrder order) {
  std::string name = order.id == 1033 ? "General" : "sort order";
  return name + " (" + std::to_string(order.id) + ", version " + std::to_string(order.version) + ")";
}

int TableDef::findColumn(std::string_view columnName) const {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (equalsIgnoreCase(columns[i].name, columnName)) return static_cast<int>(i);
  }
  return -1;
}

const Index* TableDef::findIndex(std::string_view indexName) const {
  for (const auto& index : indexes) {
    if (equalsIgnoreCase(index.name, indexName)) return &index;
  }
  return nullptr;
}

ColumnSpec columnSpec(std::string name, ColumnKind kind, int size, bool autoNumber) {
  ColumnSpec c;
  c.name = std::move(name);
  c.kind = kind;
  c.size = size;
  c.autoNumber = autoNumber;
  return c;
}

ColumnSpec columnSpecOf(const Column& column) {
  ColumnSpec c = columnSpec(column.name, column.kind, column.kind == ColumnKind::Text ? column.textLength(true) : 0,
                            column.autoNumber);
  c.compressedText = column.compressedText;
  c.precision = column.precision;
  c.scale = column.scale;
  return c;
}

}  // namespace jet
