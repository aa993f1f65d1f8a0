// qar26m-cli import FILE TABLE [--format csv|jsonl]: appends the rows on standard input, in
// the formats export writes (csv with its header line, or one JSON array per line). All or
// nothing: a row that cannot be read or stored names its line and nothing is written.
// An auto-number column given as Null (empty field, null) gets its next value.
#include <iostream>
#include <iterator>
#include <sstream>

#include "cli/command.h"
#include "cli/csv_parse.h"
#include "cli/jsonl_parse.h"
#include "cli/value_parse.h"
#include "cli/write_guard.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/util/names.h"
#include "jet/write/write_session.h"

namespace qar::cli {

namespace {

bool sameName(const std::string& a, const std::string& b) { return jet::equalsIgnoreCase(a, b); }

}  // namespace

int cmdImport(const Args& args, std::ostream& out, std::ostream&) {
  ParsedArgs parsed = parseArgs(args, {"format"});
  if (parsed.positional.size() != 2) throw UsageError("expected a database file and a table");
  std::string format = "csv";
  if (const std::string* f = parsed.option("format")) format = *f;
  if (format != "csv" && format != "jsonl") throw UsageError("unknown format '" + format + "' (csv or jsonl)");
  const std::string& path = parsed.positional[0];

  std::string input((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
  if (input.size() >= 3 && static_cast<unsigned char>(input[0]) == 0xEF && static_cast<unsigned char>(input[1]) == 0xBB &&
      static_cast<unsigned char>(input[2]) == 0xBF) {
    input.erase(0, 3);  // a byte-order mark some editors put first
  }
  std::vector<Record> records = format == "csv" ? parseCsv(input) : parseJsonLines(input);

  auto db = openForWriting(path, {parsed.positional[1]});
  const jet::CatalogEntry* entry = db->findTable(parsed.positional[1]);
  if (!entry) throw std::runtime_error("no table named " + parsed.positional[1] + " in " + path);
  jet::TableImpl& table = db->table(*entry);
  const auto& columns = table.info.def.columns;

  size_t first = 0;
  if (format == "csv") {
    if (records.empty()) throw std::runtime_error("line 1: the header line is missing");
    const Record& header = records[0];
    bool matches = header.fields.size() == columns.size();
    for (size_t i = 0; matches && i < columns.size(); ++i) {
      matches = header.fields[i] && sameName(*header.fields[i], columns[i].name);
    }
    if (!matches) throw std::runtime_error("line 1: the header does not list the columns of " + table.info.def.name);
    first = 1;
  }
  // Every row is read before anything is written.
  std::vector<std::pair<size_t, jet::Row>> rows;
  for (size_t r = first; r < records.size(); ++r) {
    const Record& rec = records[r];
    if (rec.fields.size() != columns.size()) {
      throw std::runtime_error("line " + std::to_string(rec.line) + ": " + std::to_string(rec.fields.size()) +
                               " values, the table has " + std::to_string(columns.size()) + " columns");
    }
    jet::Row row(columns.size());
    for (size_t c = 0; c < columns.size(); ++c) {
      const Field& f = rec.fields[c];
      if (!f) {
        row[c] = jet::Null{};
        continue;
      }
      bool text = columns[c].kind == jet::ColumnKind::Text || columns[c].kind == jet::ColumnKind::Memo;
      try {
        row[c] = text ? jet::Value(*f) : parseValueText(columns[c], *f);
      } catch (const std::invalid_argument& e) {
        throw std::runtime_error("line " + std::to_string(rec.line) + ", column " + columns[c].name + ": " + e.what());
      }
    }
    rows.emplace_back(rec.line, std::move(row));
  }
  jet::write::WriteSession& session = db->writer();
  jet::write::TableWriter& writer = session.writer(table);
  size_t current = 0;
  try {
    jet::write::inOperation(session.context(), [&] {
      for (auto& [line, row] : rows) {
        current = line;
        writer.insert(row);
      }
    });
  } catch (const jet::Error& e) {
    throw std::runtime_error("line " + std::to_string(current) + ": " + e.what() + "; nothing was imported");
  }
  const std::string tableName = table.info.def.name;  // the table goes with the database
  db->close();
  out << "imported " << rows.size() << " row" << (rows.size() == 1 ? "" : "s") << " into " << tableName << "\n";
  return 0;
}

}  // namespace qar::cli
