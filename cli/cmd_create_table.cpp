// qar26m-cli create-table FILE TABLE COLUMN:KIND[:SIZE]... [--primary-key COL[,COL...]]
// [--index NAME:COL[,COL...][:unique]]...: adds a table with its indexes. KIND is a name schema
// prints (Text, Long, AutoNumber, ...); SIZE is a Text column's size in characters (a Binary
// column's in bytes). An index column written -COL sorts descending, as schema prints it.
#include <ostream>

#include "cli/command.h"
#include "cli/write_guard.h"
#include "jet/database.h"

namespace qar::cli {

namespace {

jet::ColumnSpec parseColumn(const std::string& text) {
  // NAME:KIND or NAME:KIND:SIZE; the name may itself hold colons, so split from the right.
  size_t last = text.rfind(':');
  if (last == std::string::npos || last == 0) throw UsageError("column '" + text + "' is not NAME:KIND[:SIZE]");
  std::string name = text.substr(0, last), kind = text.substr(last + 1), size;
  if (!kind.empty() && kind.find_first_not_of("0123456789") == std::string::npos) {
    size_t before = name.rfind(':');
    if (before == std::string::npos || before == 0) throw UsageError("column '" + text + "' is not NAME:KIND[:SIZE]");
    size = kind;
    kind = name.substr(before + 1);
    name = name.substr(0, before);
  }
  auto parsed = jet::parseKindName(kind);
  if (!parsed) throw UsageError("column " + name + ": unknown kind '" + kind + "'");
  jet::ColumnSpec blueprint;
  blueprint.name = name;
  blueprint.kind = parsed->kind;
  blueprint.autoNumber = parsed->autoNumber;
  if (!size.empty()) {
    if (blueprint.kind != jet::ColumnKind::Text && blueprint.kind != jet::ColumnKind::Binary) {
      throw UsageError("column " + name + ": only Text and Binary columns take a size");
    }
    if (size.size() > 4) throw UsageError("column " + name + ": size " + size + " is too large");
    blueprint.size = std::stoi(size);
    if (blueprint.size < 1 || blueprint.size > 255) throw UsageError("column " + name + ": size must be 1 to 255");
  }
  return blueprint;
}

std::vector<std::string> splitColumns(const std::string& list, const std::string& what) {
  std::vector<std::string> columns;
  size_t at = 0;
  while (true) {
    size_t comma = list.find(',', at);
    std::string name = list.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    if (name.empty()) throw UsageError(what + ": empty column name in '" + list + "'");
    columns.push_back(name);
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return columns;
}

// NAME:COL[,COL...] or NAME:COL[,COL...]:unique
jet::IndexSpec parseIndex(const std::string& text) {
  size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0) throw UsageError("index '" + text + "' is not NAME:COL[,COL...][:unique]");
  jet::IndexSpec blueprint;
  blueprint.name = text.substr(0, colon);
  std::string rest = text.substr(colon + 1);
  const std::string suffix = ":unique";
  if (rest.size() > suffix.size() && rest.compare(rest.size() - suffix.size(), suffix.size(), suffix) == 0) {
    blueprint.unique = true;
    rest.resize(rest.size() - suffix.size());
  }
  if (rest.find(':') != std::string::npos) throw UsageError("index '" + text + "' is not NAME:COL[,COL...][:unique]");
  blueprint.columns = splitColumns(rest, "index " + blueprint.name);
  return blueprint;
}

}  // namespace

int cmdCreateTable(const Args& args, std::ostream& out, std::ostream&) {
  ParsedArgs parsed = parseArgs(args, {"primary-key", "index"});
  if (parsed.positional.size() < 3) throw UsageError("expected a database file, a table name and its columns");
  jet::TableSpec blueprint;
  blueprint.name = parsed.positional[1];
  for (size_t i = 2; i < parsed.positional.size(); ++i) blueprint.columns.push_back(parseColumn(parsed.positional[i]));
  for (const auto& [name, value] : parsed.options) {
    if (name == "primary-key") {
      for (const jet::IndexSpec& other : blueprint.indexes) {
        if (other.primary) throw UsageError("--primary-key given twice");
      }
      jet::IndexSpec pk;
      pk.name = "PrimaryKey";
      pk.primary = true;
      pk.unique = true;
      pk.columns = splitColumns(value, "--primary-key");
      blueprint.indexes.push_back(std::move(pk));
    } else {
      blueprint.indexes.push_back(parseIndex(value));
    }
  }
  // Creating a table writes the catalog and the page map: the whole file must be sound.
  auto db = jet::Database::adopt(openForWriting(parsed.positional[0], {}, true));
  db->createTable(blueprint);
  db->close();
  out << "created table " << blueprint.name << " with " << blueprint.columns.size() << " column"
      << (blueprint.columns.size() == 1 ? "" : "s");
  if (!blueprint.indexes.empty()) out << " and " << blueprint.indexes.size() << " index" << (blueprint.indexes.size() == 1 ? "" : "es");
  out << "\n";
  return 0;
}

}  // namespace qar::cli
