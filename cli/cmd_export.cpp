// qar26m-cli export FILE TABLE [--format csv|jsonl]: every row in table-scan order, streamed.
// csv: RFC 4180 (CRLF line ends, header line), UTF-8; Null is an empty field, empty text is "".
// jsonl: one JSON array per row, values in column order.
#include <ostream>

#include "cli/command.h"
#include "cli/value_text.h"
#include "jet/database.h"

namespace qar::cli {

int cmdExport(const Args& args, std::ostream& out, std::ostream& err) {
  ParsedArgs parsed = parseArgs(args, {"format"});
  if (parsed.positional.size() != 2) throw UsageError("expected a database file and a table");
  std::string format = "csv";
  if (const std::string* f = parsed.option("format")) format = *f;
  if (format != "csv" && format != "jsonl") throw UsageError("unknown format '" + format + "' (csv or jsonl)");

  auto db = jet::Database::open(parsed.positional[0]);
  jet::Table table = db->table(parsed.positional[1]);
  const auto& columns = table.def().columns;
  std::string line;
  std::string buffer;  // rows are written in blocks of about 64 KiB
  if (format == "csv") {
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i) line += ',';
      line += csvField(columns[i].name);
    }
    line += "\r\n";
    out << line;
  }
  jet::RowCursor cursor = table.scan();
  while (cursor.next()) {
    line.clear();
    const jet::Row& row = cursor.values();
    if (format == "csv") {
      for (size_t i = 0; i < row.size(); ++i) {
        if (i) line += ',';
        if (jet::isNull(row[i])) continue;
        const auto* text = std::get_if<std::string>(&row[i]);
        if (text && text->empty()) {
          line += "\"\"";  // empty text, told apart from Null
        } else {
          appendValueText(line, row[i], true);
        }
      }
      line += "\r\n";
    } else {
      line += '[';
      for (size_t i = 0; i < row.size(); ++i) {
        if (i) line += ',';
        line += valueJson(row[i]);
      }
      line += "]\n";
    }
    buffer += line;
    if (buffer.size() >= 65536) {
      out << buffer;
      buffer.clear();
    }
  }
  out << buffer;
  for (const auto& w : db->warnings()) err << "warning: " << w << "\n";
  return 0;
}

}  // namespace qar::cli
