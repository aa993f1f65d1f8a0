// qar26m-cli tables FILE: the user tables, one per line, in catalog order.
#include <ostream>

#include "cli/command.h"
#include "jet/database.h"

namespace qar::cli {

int cmdTables(const Args& args, std::ostream& out, std::ostream&) {
  ParsedArgs parsed = parseArgs(args, {});
  if (parsed.positional.size() != 1) throw UsageError("expected one database file");
  auto db = jet::Database::open(parsed.positional[0]);
  for (const auto& name : db->tableNames()) out << name << "\n";
  return 0;
}

}  // namespace qar::cli
