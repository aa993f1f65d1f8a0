// Inserting 1,000,000 small rows (Long, Text(20), Date/Time) into a table without indexes:
// rows per second (insert and flush), file size and how full the data pages are.
// Usage: jet_insert_bench [rows] [file]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_support.h"
#include "jet/error.h"

int main(int argc, char** argv) {
  uint32_t rows = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000u;
  std::string path = argc > 2 ? argv[2] : (std::filesystem::temp_directory_path() / "qar-insert-bench.mdb").string();
  try {
    jet::bench::FillResult r = jet::bench::makeLargeDatabase(path, rows);
    std::printf("rows inserted:   %u\n", rows);
    std::printf("seconds:         %.3f\n", r.seconds);
    std::printf("rows per second: %.0f (wall clock), %.0f (processor time, %.3f s)\n", rows / r.seconds,
                rows / r.cpuSeconds, r.cpuSeconds);
    std::printf("file size:       %.1f MiB (%llu bytes)\n", r.fileBytes / 1048576.0,
                static_cast<unsigned long long>(r.fileBytes));
    std::printf("data pages:      %u, %.1f%% full\n", r.dataPages, r.pageFill * 100);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "insert benchmark failed: %s\n", e.what());
    return 1;
  }
  if (argc <= 2) std::filesystem::remove(path);
  return 0;
}
