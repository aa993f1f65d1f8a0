// qar26m-cli create FILE: a new, empty Jet 4 database (the file must not exist).
#include <ostream>

#include "cli/command.h"
#include "jet/database.h"

namespace qar::cli {

int cmdCreate(const Args& args, std::ostream& out, std::ostream&) {
  ParsedArgs parsed = parseArgs(args, {});
  if (parsed.positional.size() != 1) throw UsageError("expected the path of the database to create");
  auto db = jet::Database::create(parsed.positional[0]);
  db->close();
  out << "created " << parsed.positional[0] << "\n";
  return 0;
}

}  // namespace qar::cli
