// qar26m-cli check FILE: verifies the database's structure; one line per drifted counter
// ("warning: ..."), one per defect, a line with the number of index entries it could not
// verify (when there are any), then a line starting "OK" or "FAIL". Exit status 0 when sound
// (warnings allowed), 1 otherwise.
#include <ostream>

#include "cli/command.h"
#include "jet/check/structure_check.h"
#include "jet/database_impl.h"
#include "jet/io/file.h"

namespace qar::cli {

int cmdCheck(const Args& args, std::ostream& out, std::ostream&) {
  ParsedArgs parsed = parseArgs(args, {});
  if (parsed.positional.size() != 1) throw UsageError("expected one database file");
  const std::string& path = parsed.positional[0];
  auto impl = jet::openDatabaseFile(path, jet::OpenMode::ReadOnly);
  if (impl->journalRolledBack) {
    out << "note: a write to this file had been cut short; its journal " << path
        << "-journal was rolled back, putting back the pages as they were before that write\n";
  }
  jet::StructureReport report = jet::checkStructure(*impl);
  for (const auto& w : report.warnings) out << "warning: " << w << "\n";
  for (const auto& d : report.defects) out << d << "\n";
  if (report.unverifiedEntries > 0) {
    out << report.unverifiedEntries << " index entr" << (report.unverifiedEntries == 1 ? "y" : "ies")
        << " not verified: their keys are in sort orders or hold characters the engine cannot build\n";
  }
  if (report.ok()) {
    out << "OK: " << report.pages << " pages, " << report.tables << " tables, " << report.rows << " rows\n";
    return 0;
  }
  out << "FAIL: " << report.defects.size() << " defect" << (report.defects.size() == 1 ? "" : "s") << "\n";
  return 1;
}

}  // namespace qar::cli
