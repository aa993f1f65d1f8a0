// Filling a new database with generated rows, and measuring how full its pages are.
#include "bench_support.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <vector>

#include "jet/database.h"

namespace jet::bench {
namespace {
double cpuNow() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

// File size, and the data pages of the table defined at definitionPage with how full they are.
void measurePages(const std::string& path, uint32_t definitionPage, uint32_t pageSize, FillResult& result) {
  result.fileBytes = std::filesystem::file_size(path);
  // Data pages of the table: type 0x01 and owned by its definition page.
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> page(pageSize);
  uint64_t used = 0;
  while (in.read(reinterpret_cast<char*>(page.data()), page.size())) {
    uint32_t owner = page[4] | (page[5] << 8) | (page[6] << 16) | (static_cast<uint32_t>(page[7]) << 24);
    if (page[0] != 0x01 || owner != definitionPage) continue;
    uint16_t freeBytes = static_cast<uint16_t>(page[2] | (page[3] << 8));
    used += page.size() - freeBytes;
    ++result.dataPages;
  }
  if (result.dataPages > 0) result.pageFill = static_cast<double>(used) / (result.dataPages * static_cast<double>(pageSize));
}

}  // namespace

FillResult makeLargeDatabase(const std::string& path, uint32_t rows) {
  std::filesystem::remove(path);
  FillResult result;
  uint32_t definitionPage = 0;
  {
    auto db = Database::create(path);
    TableSpec blueprint;
    blueprint.name = kLargeTable;
    blueprint.columns = {{"HolderID", ColumnKind::Long}, {"CardNo", ColumnKind::Text, 20}, {"Assigned", ColumnKind::DateTime}};
    Table table = db->createTable(blueprint);
    definitionPage = table.def().definitionPage;
    db->flush();
    auto start = std::chrono::steady_clock::now();
    double cpuStart = cpuNow();
    Row row(3);
    for (uint32_t i = 0; i < rows; ++i) {
      row[0] = static_cast<int32_t>(i);
      row[1] = "CARD-" + std::to_string(10000000 + i);
      row[2] = DateTime{45000.0 + i / 86400.0};
      table.insert(row);
    }
    db->close();
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.cpuSeconds = cpuNow() - cpuStart;
  }
  measurePages(path, definitionPage, 4096, result);
  return result;
}

FillResult fillTableOfCopy(const std::string& from, const std::string& path, const std::string& tableName,
                           uint32_t rows) {
  std::filesystem::remove(path);
  std::filesystem::copy_file(from, path);
  std::filesystem::permissions(path, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  FillResult result;
  uint32_t definitionPage = 0, pageSize = 0;
  {
    auto db = Database::open(path, OpenMode::ReadWrite);
    pageSize = db->format() == Format::Jet3 ? 2048 : 4096;
    Table table = db->table(tableName);
    definitionPage = table.def().definitionPage;
    const std::vector<Column>& columns = table.def().columns;
    auto start = std::chrono::steady_clock::now();
    double cpuStart = cpuNow();
    Row row(columns.size());
    for (uint32_t i = 0; i < rows; ++i) {
      for (size_t c = 0; c < columns.size(); ++c) {
        switch (columns[c].kind) {
          case ColumnKind::Text: row[c] = "CARD-" + std::to_string(10000000 + i + c); break;
          case ColumnKind::Long: row[c] = static_cast<int32_t>(i); break;
          case ColumnKind::DateTime: row[c] = DateTime{45000.0 + i / 86400.0}; break;
          default: row[c] = Null{};
        }
      }
      table.insert(row);
    }
    db->close();
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.cpuSeconds = cpuNow() - cpuStart;
  }
  measurePages(path, definitionPage, pageSize, result);
  return result;
}

}  // namespace jet::bench
