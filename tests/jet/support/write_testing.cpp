// Running commands on written files, and checking their structure.
#include "write_testing.h"

#include <cstdio>

#include "jet/database_impl.h"
#include "jet/io/file.h"

namespace jet::testing {

std::string runCommand(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

bool haveMdbTools() { return runCommand("command -v mdb-export").find("mdb-export") != std::string::npos; }

std::string mdbExport(const std::filesystem::path& file, const std::string& table) {
  return runCommand("mdb-export -b hex '" + file.string() + "' '" + table + "' 2>&1");
}

StructureReport checkFile(const std::filesystem::path& file) {
  auto impl = openDatabaseImpl(openFile(file.string(), FileAccess::ReadOnly), file.string(), OpenMode::ReadOnly);
  return checkStructure(*impl);
}

std::string describeDefects(const StructureReport& report) {
  std::string s;
  for (const auto& d : report.defects) s += d + "\n";
  for (const auto& w : report.warnings) s += "warning: " + w + "\n";
  return s;
}

}  // namespace jet::testing
