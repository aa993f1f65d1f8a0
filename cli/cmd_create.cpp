// qar26m-cli create FILE [--access 2000|97]: a new, empty database (the file must not exist):
// Jet 4 (Access 2000, the default) or Jet 3 (Access 97).
#include <ostream>

#include "cli/command.h"
#include "jet/database.h"

namespace qar::cli {

int cmdCreate(const Args& args, std::ostream& out, std::ostream&) {
  ParsedArgs parsed = parseArgs(args, {"access"});
  if (parsed.positional.size() != 1) throw UsageError("expected the path of the database to create");
  jet::Format format = jet::Format::Jet4;
  if (const std::string* access = parsed.option("access")) {
    if (*access == "97") {
      format = jet::Format::Jet3;
    } else if (*access != "2000") {
      throw UsageError("--access takes 2000 (the default) or 97, not '" + *access + "'");
    }
  }
  auto db = jet::Database::create(parsed.positional[0], format);
  db->close();
  out << "created " << parsed.positional[0] << (format == jet::Format::Jet3 ? " (Access 97)" : "") << "\n";
  return 0;
}

}  // namespace qar::cli
