// Index upkeep and look-ups at scale: inserts rows in random key order into a new table with
// a Long primary key and a Text(50) index, flushes (the indexes are written then), reopens
// the file and seeks random keys through each index. Prints rows and look-ups per second
// (wall clock and processor time), the file size, and whether the structure check and
// mdbtools (when installed) accept the file.
// With --access 97: the same rows into the table with a unique Long and a unique Text index
// of the Access-written Access 97 and Access 2000 files of the shared fixtures, both figures
// and their ratio printed.
// Usage: jet_index_bench [rows] [lookups] [file]   (defaults 1000000, 100000, a temporary file)
//        jet_index_bench --access 97 [rows] [lookups]   (defaults 200000, 100000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "jet/check/structure_check.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/io/file.h"

namespace {

constexpr const char* kTable = "Holders";
constexpr const char* kNameIndex = "HolderName";

// Wall clock and this process's processor time, read together.
struct Stamp {
  double wall;
  double cpu;
  static Stamp now() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return {std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(),
            static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9};
  }
};

struct Span {
  double wall = 0, cpu = 0;
  Span operator+(const Span& o) const { return {wall + o.wall, cpu + o.cpu}; }
};
Span since(const Stamp& start) {
  Stamp end = Stamp::now();
  return {end.wall - start.wall, end.cpu - start.cpu};
}

void printRate(const char* what, double count, const Span& s, const char* unit) {
  std::printf("%-22s %8.3f s wall %8.3f s CPU   %10.0f %s/s wall, %10.0f %s/s CPU\n", what, s.wall, s.cpu,
              count / s.wall, unit, count / s.cpu, unit);
}

// Names of 8 to 50 characters: words of mixed-case letters with blanks, digits now and then,
// and a few accented letters; about one in twenty repeats an earlier name (the index is not
// unique).
std::vector<std::string> makeNames(uint32_t n, std::mt19937& rng) {
  static const char* const accented[] = {"é", "Ü", "ñ", "ø", "ß"};
  std::vector<std::string> names;
  names.reserve(n);
  for (uint32_t i = 0; i < n; ++i) {
    if (i > 0 && rng() % 20 == 0) {
      names.push_back(names[rng() % i]);
      continue;
    }
    std::string s;
    const size_t length = 8 + rng() % 43;
    while (s.size() < length) {
      const uint32_t r = rng() % 64;
      if (r < 26) {
        s += static_cast<char>('a' + r);
      } else if (r < 52) {
        s += static_cast<char>('A' + r - 26);
      } else if (r < 58) {
        s += ' ';
      } else if (r < 62) {
        s += static_cast<char>('0' + r - 52);
      } else if (s.size() + 2 <= length) {
        s += accented[rng() % 5];
      }
    }
    names.push_back(std::move(s));
  }
  return names;
}

// How many lines mdb-export prints for the table (header included), or nothing without mdbtools.
std::optional<long> mdbExportLines(const std::string& path) {
  if (std::system("command -v mdb-export >/dev/null 2>&1") != 0) return std::nullopt;
  const std::string command = "mdb-export '" + path + "' " + kTable + " 2>/dev/null | wc -l";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return std::nullopt;
  long lines = -1;
  if (std::fscanf(pipe, "%ld", &lines) != 1) lines = -1;
  pclose(pipe);
  return lines;
}

int run(uint32_t rows, uint32_t lookups, const std::string& path) {
  std::mt19937 rng(20261208);
  std::vector<int32_t> ids(rows);
  std::iota(ids.begin(), ids.end(), 1);
  std::shuffle(ids.begin(), ids.end(), rng);
  const std::vector<std::string> names = makeNames(rows, rng);

  std::filesystem::remove(path);
  Span insert, flush;
  {
    auto db = jet::Database::create(path);
    jet::TableSpec blueprint;
    blueprint.name = kTable;
    blueprint.columns = {{"HolderID", jet::ColumnKind::Long}, {"HolderName", jet::ColumnKind::Text, 50}};
    blueprint.indexes = {{"PrimaryKey", {"HolderID"}, true, true, false}, {kNameIndex, {"HolderName"}}};
    jet::Table table = db->createTable(blueprint);
    db->flush();

    Stamp start = Stamp::now();
    jet::Row row(2);
    for (uint32_t i = 0; i < rows; ++i) {
      row[0] = ids[i];
      row[1] = names[i];
      table.insert(row);
    }
    insert = since(start);
    start = Stamp::now();
    db->close();
    flush = since(start);
  }
  std::printf("rows:                  %u in random key order (Long primary key, Text(50) index)\n", rows);
  printRate("insert", rows, insert, "rows");
  printRate("flush (indexes, disk)", rows, flush, "rows");
  printRate("insert + flush", rows, insert + flush, "rows");
  std::printf("file size:             %.1f MiB (%llu bytes)\n", std::filesystem::file_size(path) / 1048576.0,
              static_cast<unsigned long long>(std::filesystem::file_size(path)));

  // Look-ups on the reopened file, keys in random order; every one must find its row. The
  // keys are laid out in look-up order first, so the loop times the seeks, not the fetching
  // of keys from a million scattered strings.
  auto db = jet::Database::open(path);
  jet::Table table = db->table(kTable);
  std::vector<uint32_t> picks(lookups);
  for (uint32_t& p : picks) p = rng() % rows;
  std::vector<jet::Row> idKeys, nameKeys;
  idKeys.reserve(lookups);
  nameKeys.reserve(lookups);
  for (uint32_t p : picks) {
    idKeys.push_back(jet::Row{ids[p]});
    nameKeys.push_back(jet::Row{names[p]});
  }
  std::vector<jet::RowId> found(lookups);
  uint32_t missing = 0;

  Stamp start = Stamp::now();
  for (uint32_t i = 0; i < lookups; ++i) {
    auto id = table.seek("PrimaryKey", idKeys[i]);
    if (id) found[i] = *id; else ++missing;
  }
  printRate("seek PrimaryKey", lookups, since(start), "lookups");
  for (uint32_t i = 0; i < lookups && missing == 0; ++i) {
    if (table.read(found[i])[0] != idKeys[i][0]) ++missing;
  }

  start = Stamp::now();
  for (uint32_t i = 0; i < lookups; ++i) {
    auto id = table.seek(kNameIndex, nameKeys[i]);
    if (id) found[i] = *id; else ++missing;
  }
  printRate("seek HolderName", lookups, since(start), "lookups");
  // The first row of a repeated name may be another row with the same name.
  for (uint32_t i = 0; i < lookups && missing == 0; ++i) {
    if (table.read(found[i])[1] != nameKeys[i][0]) ++missing;
  }
  // The same look-ups again, every page they need now decoded and kept.
  start = Stamp::now();
  for (uint32_t i = 0; i < lookups; ++i) missing += table.seek("PrimaryKey", idKeys[i]) ? 0 : 1;
  printRate("  again, pages cached", lookups, since(start), "lookups");
  start = Stamp::now();
  for (uint32_t i = 0; i < lookups; ++i) missing += table.seek(kNameIndex, nameKeys[i]) ? 0 : 1;
  printRate("  again, pages cached", lookups, since(start), "lookups");
  std::printf("look-ups that failed:  %u\n", missing);
  db.reset();

  auto impl = jet::openDatabaseImpl(jet::openFile(path, jet::FileAccess::ReadOnly), path, jet::OpenMode::ReadOnly);
  start = Stamp::now();
  jet::StructureReport report = jet::checkStructure(*impl);
  const Span checkTime = since(start);
  impl.reset();
  std::printf("structure check:       %s (%.1f s)\n", report.ok() ? "OK" : "FAIL", checkTime.wall);
  for (size_t i = 0; i < report.defects.size() && i < 10; ++i) std::printf("  %s\n", report.defects[i].c_str());
  const std::optional<long> lines = mdbExportLines(path);
  if (lines) {
    std::printf("mdb-export:            %ld rows%s\n", *lines - 1, *lines - 1 == static_cast<long>(rows) ? "" : " (WRONG)");
  } else {
    std::printf("mdb-export:            not installed\n");
  }
  const bool ok = report.ok() && missing == 0 && (!lines || *lines - 1 == static_cast<long>(rows));
  return ok ? 0 : 1;
}

// One Access-written file's table with a unique Long and a unique Text(255) index
// (MSP_PROJECTS of test2V1997.mdb / test2V2000.mdb): rows added to a copy, the flush that
// writes the indexes, then seeks through both. Returns insert + flush and the seeks' time.
struct VersionFigures {
  Span write, seek;
  bool ok = false;
};

VersionFigures measureCopy(const std::filesystem::path& fixture, const std::string& path, const char* label,
                           const std::vector<int32_t>& ids, const std::vector<std::string>& names, uint32_t lookups) {
  constexpr const char* kProjects = "MSP_PROJECTS";
  std::filesystem::copy_file(fixture, path, std::filesystem::copy_options::overwrite_existing);
  const auto rows = static_cast<uint32_t>(ids.size());
  VersionFigures f;
  {
    auto db = jet::Database::open(path, jet::OpenMode::ReadWrite);
    jet::Table table = db->table(kProjects);
    jet::Row row(table.def().columns.size(), jet::Null{});
    const Stamp start = Stamp::now();
    for (uint32_t i = 0; i < rows; ++i) {
      row[0] = ids[i];
      row[1] = names[i];
      table.insert(row);
    }
    db->close();
    f.write = since(start);
  }
  std::mt19937 rng(97);
  std::vector<jet::Row> idKeys, nameKeys;
  for (uint32_t i = 0; i < lookups; ++i) {
    const uint32_t p = rng() % rows;
    idKeys.push_back(jet::Row{ids[p]});
    nameKeys.push_back(jet::Row{names[p]});
  }
  uint32_t missing = 0;
  {
    auto db = jet::Database::open(path);
    jet::Table table = db->table(kProjects);
    const Stamp start = Stamp::now();
    for (uint32_t i = 0; i < lookups; ++i) {
      missing += table.seek("I_MSP_PROJECTS", idKeys[i]) ? 0 : 1;
      missing += table.seek("I_PROJ_NAME", nameKeys[i]) ? 0 : 1;
    }
    f.seek = since(start);
  }
  auto impl = jet::openDatabaseImpl(jet::openFile(path, jet::FileAccess::ReadOnly), path, jet::OpenMode::ReadOnly);
  const bool sound = jet::checkStructure(*impl).ok();
  impl.reset();
  std::printf("%s\n", label);
  printRate("  insert + flush", rows, f.write, "rows");
  printRate("  seeks (both indexes)", 2.0 * lookups, f.seek, "lookups");
  std::printf("  file size:             %.1f MiB, structure check %s, look-ups that failed: %u\n",
              std::filesystem::file_size(path) / 1048576.0, sound ? "OK" : "FAIL", missing);
  f.ok = sound && missing == 0;
  return f;
}

int compareAccess97(uint32_t rows, uint32_t lookups) {
  namespace fs = std::filesystem;
  const fs::path fixtures = fs::path(QAR_FIXTURES_DIR) / "access";
  const fs::path jet3 = fixtures / "jet3" / "test2V1997.mdb";
  const fs::path jet4 = fixtures / "jet4" / "test2V2000.mdb";
  if (!fs::exists(jet3) || !fs::exists(jet4)) {
    std::printf("skipped: the shared fixtures are not at %s\n", QAR_FIXTURES_DIR);
    return 0;
  }
  std::mt19937 rng(19970);
  std::vector<int32_t> ids(rows);
  std::iota(ids.begin(), ids.end(), 1000);  // clear of the row the files hold
  std::shuffle(ids.begin(), ids.end(), rng);
  std::vector<std::string> names = makeNames(rows, rng);
  for (uint32_t i = 0; i < rows; ++i) names[i] += " " + std::to_string(i);  // the index is unique
  std::printf("rows:                  %u in random key order (unique Long and Text(255) indexes)\n", rows);
  const fs::path dir = fs::temp_directory_path();
  const std::string path3 = (dir / "qar-index-bench-97.mdb").string();
  const std::string path4 = (dir / "qar-index-bench-2000.mdb").string();
  const VersionFigures f3 = measureCopy(jet3, path3, "Access 97 (Jet 3):", ids, names, lookups);
  const VersionFigures f4 = measureCopy(jet4, path4, "Access 2000 (Jet 4):", ids, names, lookups);
  std::printf("Jet 3 / Jet 4 time:    insert + flush %.2f (wall) %.2f (CPU), seeks %.2f (wall) %.2f (CPU)\n",
              f3.write.wall / f4.write.wall, f3.write.cpu / f4.write.cpu, f3.seek.wall / f4.seek.wall,
              f3.seek.cpu / f4.seek.cpu);
  fs::remove(path3);
  fs::remove(path4);
  return f3.ok && f4.ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::strcmp(argv[1], "--access") == 0) {
    if (std::strcmp(argv[2], "97") != 0) {
      std::fprintf(stderr, "--access takes 97\n");
      return 2;
    }
    try {
      return compareAccess97(argc > 3 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 200000u,
                             argc > 4 ? static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)) : 100000u);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "index benchmark failed: %s\n", e.what());
      return 1;
    }
  }
  const uint32_t rows = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000u;
  const uint32_t lookups = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 100000u;
  const std::string path =
      argc > 3 ? argv[3] : (std::filesystem::temp_directory_path() / "qar-index-bench.mdb").string();
  if (rows == 0 || lookups == 0) {
    std::fprintf(stderr, "usage: jet_index_bench [rows > 0] [lookups > 0] [file]\n");
    return 2;
  }
  int status = 1;
  try {
    status = run(rows, lookups, path);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "index benchmark failed: %s\n", e.what());
  }
  if (argc <= 3) std::filesystem::remove(path);
  return status;
}
