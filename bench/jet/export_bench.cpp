// Exporting every table of a large database: rows per second and peak memory of
// "qar26m-cli export" next to mdbtools' "mdb-export" on the same file, plus the engine's own
// scan rate (rows decoded, nothing printed).
// Usage: jet_export_bench [file]   (or QAR_BENCH_DB=file). Without a file it makes one with
// 300,000 generated rows (QAR_BENCH_ROWS), falling back to the largest shared fixture when
// the engine cannot write yet.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "jet/database.h"

namespace fs = std::filesystem;

namespace {

struct ChildRun {
  bool ok = false;
  double seconds = 0;     // wall clock
  double cpuSeconds = 0;  // user + system: steadier when other work shares the machine
  long maxRssKiB = 0;
};

// Runs argv with stdout to /dev/null; wall time and the child's peak resident memory.
ChildRun runChild(const std::vector<std::string>& argv) {
  ChildRun r;
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid < 0) return r;
  if (pid == 0) {
    FILE* devnull = std::fopen("/dev/null", "w");
    if (devnull) {
      dup2(fileno(devnull), 1);
      dup2(fileno(devnull), 2);
    }
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) < 0) return r;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  r.maxRssKiB = usage.ru_maxrss;
  r.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
  return r;
}

std::string largestFixture() {
  std::string best;
  uintmax_t size = 0;
  fs::path root(QAR_FIXTURES_DIR);
  std::error_code ec;
  if (!fs::is_directory(root, ec)) return best;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file() && e.path().extension() == ".mdb" && e.file_size() > size) {
      size = e.file_size();
      best = e.path().string();
    }
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = argc > 1 ? argv[1] : (std::getenv("QAR_BENCH_DB") ? std::getenv("QAR_BENCH_DB") : "");
  std::string made;
  if (path.empty()) {
    uint32_t rows = std::getenv("QAR_BENCH_ROWS") ? static_cast<uint32_t>(std::atol(std::getenv("QAR_BENCH_ROWS"))) : 300000;
    made = (fs::temp_directory_path() / "qar-export-bench.mdb").string();
    try {
      jet::bench::makeLargeDatabase(made, rows);
      path = made;
      std::printf("made %s with %u generated rows in %s\n", made.c_str(), rows, jet::bench::kLargeTable);
    } catch (const std::exception& e) {
      std::printf("cannot make a large database (%s); measuring the largest fixture instead\n", e.what());
      fs::remove(made);
      made.clear();
      path = largestFixture();
    }
  }
  if (path.empty()) {
    std::printf("skipped: no database given and no shared fixtures at %s\n", QAR_FIXTURES_DIR);
    return 0;
  }
  const std::string cli = (fs::path(argv[0]).parent_path().parent_path() / "qar26m-cli").string();

  std::vector<std::string> tables;
  uint64_t totalRows = 0;
  double scanSeconds = 0;
  try {
    auto db = jet::Database::open(path);
    tables = db->tableNames();
    auto start = std::chrono::steady_clock::now();
    for (const auto& name : tables) {
      jet::Table t = db->table(name);
      for (jet::RowCursor c = t.scan(); c.next();) ++totalRows;
    }
    scanSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "export benchmark: %s\n", e.what());
    return 1;
  }
  std::printf("file: %s (%.1f MiB), %zu tables, %llu rows\n", path.c_str(), fs::file_size(path) / 1048576.0,
              tables.size(), static_cast<unsigned long long>(totalRows));
  std::printf("engine scan (decode only): %.3f s, %.0f rows/s\n", scanSeconds, totalRows / std::max(scanSeconds, 1e-9));

  struct Tool {
    const char* name;
    std::vector<std::string> prefix;
  };
  std::vector<Tool> tools = {
      {"qar26m-cli export", {cli, "export", path}},
      {"mdb-export", {"mdb-export", "-D", "%Y-%m-%d %H:%M:%S", path}},
  };
  double rates[2] = {0, 0};
  for (size_t k = 0; k < tools.size(); ++k) {
    double seconds = 0, cpu = 0;
    long peak = 0;
    bool ok = true;
    for (const auto& name : tables) {
      auto argvChild = tools[k].prefix;
      argvChild.push_back(name);
      ChildRun r = runChild(argvChild);
      ok &= r.ok;
      seconds += r.seconds;
      cpu += r.cpuSeconds;
      peak = std::max(peak, r.maxRssKiB);
    }
    if (!ok) {
      std::printf("%-18s  failed (not installed?)\n", tools[k].name);
      continue;
    }
    rates[k] = totalRows / std::max(cpu, 1e-9);
    std::printf("%-18s  wall %.3f s  cpu %.3f s  %10.0f rows per cpu second  peak memory %.1f MiB\n", tools[k].name,
                seconds, cpu, rates[k], peak / 1024.0);
  }
  if (rates[0] > 0 && rates[1] > 0) std::printf("speed-up over mdb-export (cpu time): %.2fx\n", rates[0] / rates[1]);
  if (!made.empty()) fs::remove(made);
  return 0;
}
