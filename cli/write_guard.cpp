// Opening a database for a writing command, behind the checks (see write_guard.h).
#include "cli/write_guard.h"

#include <stdexcept>

#include "jet/check/write_fitness.h"

namespace qar::cli {

std::unique_ptr<jet::DatabaseImpl> openForWriting(const std::string& path, const std::vector<std::string>& tables,
                                                  bool wholeFile) {
  for (const auto& d : jet::fileWritingDefects(path)) throw std::runtime_error(d);
  auto db = jet::openDatabaseFile(path, jet::OpenMode::ReadWrite);
  jet::StructureReport report = jet::checkFitForWriting(*db, tables, wholeFile);
  if (!report.ok()) {
    std::string message = path + " cannot be written safely: " + report.defects.front();
    if (report.defects.size() > 1) message += " (and " + std::to_string(report.defects.size() - 1) + " more defects)";
    throw std::runtime_error(message);
  }
  return db;
}

}  // namespace qar::cli
