// Running commands on written files, checking their structure, relabelling their sort orders.
#include "write_testing.h"

#include <cstdio>

#include "jet/database_impl.h"
#include "jet/format/table_def.h"
#include "jet/io/file.h"
#include "reader_fixtures.h"

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

void relabelTextSortOrders(const std::filesystem::path& file, SortOrder order) {
  namespace td = format::tabledef;
  constexpr uint32_t kPageSize = 4096;
  std::vector<std::pair<uint64_t, uint8_t>> patches;
  {
    auto db = openDatabaseImpl(openFile(file.string(), FileAccess::ReadOnly), file.string(), OpenMode::ReadOnly);
    for (const CatalogEntry& entry : db->userTables()) {
      const TableInfo& info = db->table(entry).info;
      for (size_t i = 0; i < info.def.columns.size(); ++i) {
        const ColumnKind kind = info.def.columns[i].kind;
        if (kind != ColumnKind::Text && kind != ColumnKind::Memo) continue;
        auto at = [&](uint32_t offset) {
          const auto loc = info.locate(info.storage[i].descriptorOffset + offset, kPageSize);
          return uint64_t{loc.page} * kPageSize + loc.offset;
        };
        patches.emplace_back(at(td::kColumnJet4.sortOrder), static_cast<uint8_t>(order.id & 0xFF));
        patches.emplace_back(at(td::kColumnJet4.sortOrder + 1), static_cast<uint8_t>(order.id >> 8));
        patches.emplace_back(at(td::kColumnJet4.sortVersion), order.version);
      }
    }
  }
  auto bytes = readWholeFile(file);
  for (auto [offset, value] : patches) bytes.at(offset) = value;
  writeWholeFile(file, bytes);
}

}  // namespace jet::testing
