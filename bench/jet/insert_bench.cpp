// Inserting 1,000,000 small rows (Long, Text(20), Date/Time) into a table without indexes:
// rows per second (insert and flush), file size and how full the data pages are.
// With --access 97: the same rows into the Access-written Access 97 and Access 2000 files of
// the shared fixtures (Table1 of queryTestV1997.mdb and queryTestV2000.mdb, three Text(50)
// columns, no indexes), both figures printed with their ratio.
// Usage: jet_insert_bench [rows] [file]
//        jet_insert_bench --access 97 [rows]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench_support.h"
#include "jet/error.h"

namespace {

void print(const char* label, uint32_t rows, const jet::bench::FillResult& r) {
  if (label) std::printf("%s\n", label);
  std::printf("rows inserted:   %u\n", rows);
  std::printf("seconds:         %.3f\n", r.seconds);
  std::printf("rows per second: %.0f (wall clock), %.0f (processor time, %.3f s)\n", rows / r.seconds,
              rows / r.cpuSeconds, r.cpuSeconds);
  std::printf("file size:       %.1f MiB (%llu bytes)\n", r.fileBytes / 1048576.0,
              static_cast<unsigned long long>(r.fileBytes));
  std::printf("data pages:      %u, %.1f%% full\n", r.dataPages, r.pageFill * 100);
}

int compareAccess97(uint32_t rows) {
  namespace fs = std::filesystem;
  const fs::path fixtures = fs::path(QAR_FIXTURES_DIR) / "access";
  const fs::path jet3 = fixtures / "jet3" / "queryTestV1997.mdb";
  const fs::path jet4 = fixtures / "jet4" / "queryTestV2000.mdb";
  if (!fs::exists(jet3) || !fs::exists(jet4)) {
    std::printf("skipped: the shared fixtures are not at %s\n", QAR_FIXTURES_DIR);
    return 0;
  }
  const fs::path dir = fs::temp_directory_path();
  const std::string path3 = (dir / "qar-insert-bench-97.mdb").string();
  const std::string path4 = (dir / "qar-insert-bench-2000.mdb").string();
  jet::bench::FillResult r3 = jet::bench::fillTableOfCopy(jet3.string(), path3, "Table1", rows);
  jet::bench::FillResult r4 = jet::bench::fillTableOfCopy(jet4.string(), path4, "Table1", rows);
  print("Access 97 (Jet 3):", rows, r3);
  print("Access 2000 (Jet 4):", rows, r4);
  std::printf("Jet 3 / Jet 4 time: %.2f (wall clock), %.2f (processor time)\n", r3.seconds / r4.seconds,
              r3.cpuSeconds / r4.cpuSeconds);
  fs::remove(path3);
  fs::remove(path4);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc > 2 && std::strcmp(argv[1], "--access") == 0) {
      if (std::strcmp(argv[2], "97") != 0) {
        std::fprintf(stderr, "--access takes 97\n");
        return 2;
      }
      return compareAccess97(argc > 3 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 1000000u);
    }
    uint32_t rows = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000u;
    std::string path = argc > 2 ? argv[2] : (std::filesystem::temp_directory_path() / "qar-insert-bench.mdb").string();
    jet::bench::FillResult r = jet::bench::makeLargeDatabase(path, rows);
    print(nullptr, rows, r);
    if (argc <= 2) std::filesystem::remove(path);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "insert benchmark failed: %s\n", e.what());
    return 1;
  }
  return 0;
}
