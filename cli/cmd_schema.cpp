// qar26m-cli schema FILE [TABLE]: each table's columns and indexes, tab-separated:
//   table   NAME   rows N
//   column  POSITION  NAME  KIND  SIZE  [auto-number | sort order of Text and Memo columns]
//   index   NAME  COLUMNS (a leading '-' marks descending)  FLAGS (or "-")
// Text sizes are in characters, other sizes in bytes (0 for Memo and OLE).
#include <ostream>

#include "cli/command.h"
#include "jet/database.h"

namespace qar::cli {

namespace {

void printTable(const jet::Table& table, jet::Format format, std::ostream& out) {
  const jet::TableDef& def = table.def();
  out << "table\t" << def.name << "\trows " << def.rowCount << "\n";
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const jet::Column& c = def.columns[i];
    int size = c.kind == jet::ColumnKind::Text ? c.textLength(format == jet::Format::Jet4) : c.size;
    out << "column\t" << i << "\t" << c.name << "\t";
    if (c.unknownKind) {
      out << "Unknown(0x" << std::hex << static_cast<int>(c.rawKind) << std::dec << ")";
    } else {
      out << jet::kindName(c.kind, c.autoNumber);
    }
    out << "\t" << size;
    if (c.autoNumber) out << "\tauto-number";
    if (!c.unknownKind && (c.kind == jet::ColumnKind::Text || c.kind == jet::ColumnKind::Memo)) {
      out << "\t" << jet::describe(c.sortOrder);
    }
    out << "\n";
  }
  for (const auto& index : def.indexes) {
    out << "index\t" << index.name << "\t";
    for (size_t i = 0; i < index.columns.size(); ++i) {
      if (i) out << ",";
      if (!index.columns[i].ascending) out << "-";
      int col = index.columns[i].column;
      out << (col >= 0 && col < static_cast<int>(def.columns.size()) ? def.columns[col].name : "?");
    }
    std::string flags;
    auto add = [&](bool on, const char* name) {
      if (!on) return;
      if (!flags.empty()) flags += ",";
      flags += name;
    };
    add(index.primary, "primary");
    add(index.unique, "unique");
    add(index.ignoreNulls, "ignore-nulls");
    add(index.required, "required");
    add(index.foreignKey, "foreign-key");
    out << "\t" << (flags.empty() ? "-" : flags) << "\n";
  }
}

}  // namespace

int cmdSchema(const Args& args, std::ostream& out, std::ostream& err) {
  ParsedArgs parsed = parseArgs(args, {});
  if (parsed.positional.empty() || parsed.positional.size() > 2) {
    throw UsageError("expected a database file and optionally a table");
  }
  auto db = jet::Database::open(parsed.positional[0]);
  if (parsed.positional.size() == 2) {
    printTable(db->table(parsed.positional[1]), db->format(), out);
  } else {
    bool first = true;
    for (const auto& name : db->tableNames()) {
      if (!first) out << "\n";
      first = false;
      printTable(db->table(name), db->format(), out);
    }
  }
  for (const auto& w : db->warnings()) err << "warning: " << w << "\n";
  return 0;
}

}  // namespace qar::cli
