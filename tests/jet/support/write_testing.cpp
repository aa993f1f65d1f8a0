// Running commands on written files, checking their structure, relabelling their sort orders.
#include "write_testing.h"

#include <cstdio>
#include <optional>

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

namespace {

// Rewrites a two-byte field (and Jet 4's version byte after the sort order) of every Text and
// Memo column descriptor of the file's user tables.
void relabelTextColumns(const std::filesystem::path& file, std::optional<SortOrder> order,
                        std::optional<uint16_t> codePage) {
  namespace td = format::tabledef;
  std::vector<std::pair<uint64_t, uint8_t>> patches;
  {
    auto db = openDatabaseImpl(openFile(file.string(), FileAccess::ReadOnly), file.string(), OpenMode::ReadOnly);
    const Format format = db->header.format;
    const uint32_t pageSize = db->header.pageSize;
    const td::ColumnLayout& layout = format == Format::Jet4 ? td::kColumnJet4 : td::kColumnJet3;
    for (const CatalogEntry& entry : db->userTables()) {
      const TableInfo& info = db->table(entry).info;
      for (size_t i = 0; i < info.def.columns.size(); ++i) {
        const ColumnKind kind = info.def.columns[i].kind;
        if (kind != ColumnKind::Text && kind != ColumnKind::Memo) continue;
        auto at = [&](uint32_t offset) {
          const auto loc = info.locate(info.storage[i].descriptorOffset + offset, pageSize);
          return uint64_t{loc.page} * pageSize + loc.offset;
        };
        auto put16 = [&](uint32_t offset, uint16_t value) {
          patches.emplace_back(at(offset), static_cast<uint8_t>(value & 0xFF));
          patches.emplace_back(at(offset + 1), static_cast<uint8_t>(value >> 8));
        };
        if (order) {
          put16(layout.sortOrder, order->id);
          if (layout.sortVersion != td::ColumnLayout::kAbsent) patches.emplace_back(at(layout.sortVersion), order->version);
        }
        if (codePage && layout.codePage != td::ColumnLayout::kAbsent) put16(layout.codePage, *codePage);
      }
    }
  }
  auto bytes = readWholeFile(file);
  for (auto [offset, value] : patches) bytes.at(offset) = value;
  writeWholeFile(file, bytes);
}

}  // namespace

void relabelTextSortOrders(const std::filesystem::path& file, SortOrder order) {
  relabelTextColumns(file, order, std::nullopt);
}

void relabelTextCodePages(const std::filesystem::path& file, uint16_t codePage) {
  relabelTextColumns(file, std::nullopt, codePage);
}

}  // namespace jet::testing
