// Index key costs: building 1,000,000 Long keys, Text(50) keys of mixed scripts (and Latin
// ones in the orders of both Jet versions) and two-column keys; sorting the text keys;
// decoding index pages and seeking through Access-written indexes of both versions. Prints keys (or pages, or seeks) per second.
// Times are the thread's CPU time (the figures hold on a machine busy with other work).
// Usage: jet_index_key_bench [keys]
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "jet/codec/index_page.h"
#include "jet/index/index_tree.h"
#include "jet/index/key_encoder.h"
#include "jet/index/text_key.h"

namespace {

struct Clock {
  using time_point = double;
  static double now() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
  }
};

double secondsSince(double start) { return Clock::now() - start; }

// Random names up to 50 characters: mostly Latin letters of both cases, some accented
// letters, digits, blanks (trailing ones too) and CJK.
std::vector<std::string> randomTexts(size_t n) {
  static const std::vector<std::string> pieces{"a", "B", "c", "D", "e", "F", "g", "h", "I", "j", "k", "L", "m",
                                               "n", "o", "P", "q", "r", "S", "t", "u", "V", "w", "x", "Y", "z",
                                               "0", "7", " ", "é", "Ü", "ß", "ñ", "張", "三", "李", "王", "-"};
  std::mt19937 rng(11);
  std::vector<std::string> out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    std::string s;
    const int len = 1 + static_cast<int>(rng() % 50);
    for (int k = 0; k < len; ++k) s += pieces[rng() % pieces.size()];
    if (rng() % 8 == 0) s += "   ";
    out.push_back(std::move(s));
  }
  return out;
}

void report(const char* what, size_t count, double seconds, const char* unit = "keys") {
  std::printf("%-34s %10.0f %s/s  (%.1f ns each)\n", what, count / seconds, unit, seconds * 1e9 / count);
}

void encodingFigures(size_t n) {
  jet::KeyColumn longColumn;
  longColumn.kind = jet::ColumnKind::Long;
  jet::KeyColumn textColumn;
  textColumn.kind = jet::ColumnKind::Text;
  textColumn.sortOrder = jet::SortOrder{1033, 0};

  std::mt19937 rng(5);
  std::vector<int32_t> numbers(n);
  for (auto& v : numbers) v = static_cast<int32_t>(rng());
  const std::vector<std::string> texts = randomTexts(n);

  // Values are made before the clock starts, so only key building is timed.
  const std::vector<jet::Value> numberValues(numbers.begin(), numbers.end());
  const std::vector<jet::Value> textValues(texts.begin(), texts.end());
  jet::KeyBytes key;
  size_t bytes = 0;
  auto timeFields = [&](const char* what, const jet::KeyColumn& column, const std::vector<jet::Value>& values) {
    const double start = Clock::now();
    for (const auto& v : values) {
      key.clear();
      jet::appendKeyField(column, v, key);
      bytes += key.size();
    }
    report(what, values.size(), secondsSince(start));
  };
  timeFields("Long keys", longColumn, numberValues);
  timeFields("Text(50) keys", textColumn, textValues);
  textColumn.ascending = false;
  timeFields("Text(50) keys, descending", textColumn, textValues);
  textColumn.ascending = true;
  // Printable ASCII only: General, then Chinese (PRC), whose keys check each character first.
  std::vector<jet::Value> asciiValues;
  asciiValues.reserve(n);
  for (const std::string& t : texts) {
    std::string a;
    for (char c : t) {
      if (static_cast<unsigned char>(c) < 0x80) a += c;
    }
    asciiValues.emplace_back(std::move(a));
  }
  timeFields("ASCII Text(50) keys, General", textColumn, asciiValues);
  textColumn.sortOrder = jet::SortOrder{2052, 0};
  timeFields("ASCII Text(50) keys, 2052", textColumn, asciiValues);
  textColumn.sortOrder = jet::SortOrder{1033, 0};
  // Access 97 files hold text in code page 1252: the same names without the CJK characters,
  // in the General order of Jet 3 files and, for comparison, of Jet 4 files.
  std::vector<jet::Value> latinValues;
  latinValues.reserve(n);
  for (const std::string& t : texts) {
    std::string a;
    for (size_t i = 0; i < t.size();) {
      const auto b = static_cast<unsigned char>(t[i]);
      const size_t len = b < 0x80 ? 1 : b < 0xE0 ? 2 : 3;
      if (len < 3) a.append(t, i, len);
      i += len;
    }
    latinValues.emplace_back(std::move(a));
  }
  jet::KeyColumn jet3Text = textColumn;
  jet3Text.format = jet::Format::Jet3;
  timeFields("Latin Text(50) keys, Jet 3", jet3Text, latinValues);
  timeFields("Latin Text(50) keys, Jet 4", textColumn, latinValues);

  jet::TableDef table;
  table.name = "T";
  table.columns.resize(2);
  table.columns[0].kind = jet::ColumnKind::Long;
  table.columns[1].kind = jet::ColumnKind::Text;
  table.columns[1].sortOrder = jet::SortOrder{1033, 0};
  jet::Index index;
  index.name = "Both";
  index.columns = {jet::IndexColumn{0, true}, jet::IndexColumn{1, true}};
  const jet::KeyEncoder encoder(table, index, jet::Format::Jet4);
  std::vector<jet::Row> rows;
  rows.reserve(n);
  for (size_t i = 0; i < n; ++i) rows.push_back(jet::Row{numbers[i], texts[i]});
  double start = Clock::now();
  for (const auto& row : rows) {
    key.clear();
    encoder.encodeRow(row, key);
    bytes += key.size();
  }
  report("Long + Text(50) rows", n, secondsSince(start));

  std::vector<jet::KeyBytes> keys;
  keys.reserve(n);
  for (const auto& s : texts) {
    jet::KeyBytes k;
    jet::appendGeneralLegacyText(s, true, k);
    keys.push_back(std::move(k));
  }
  start = Clock::now();
  std::sort(keys.begin(), keys.end());
  report("sorting the Text(50) keys", n, secondsSince(start));
  std::printf("(%zu key bytes built)\n", bytes);
}

void pageFigures(const char* folder, const char* name, jet::Format format) {
  std::printf("%s:\n", name);
  const auto path = std::filesystem::path(QAR_FIXTURES_DIR) / "access" / folder / name;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::printf("page figures skipped: %s not found\n", path.string().c_str());
    return;
  }
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t pageSize = format == jet::Format::Jet4 ? 4096 : 2048;
  std::vector<uint32_t> leaves;
  uint32_t root = 0;
  for (uint32_t n = 1; n < file.size() / pageSize; ++n) {
    const uint8_t type = file[n * pageSize];
    if (type == jet::kIndexLeafPage) leaves.push_back(n);
    if (type == jet::kIndexNodePage) root = n;
  }
  auto fetch = [&](uint32_t n) { return std::span<const uint8_t>(file.data() + n * pageSize, pageSize); };
  jet::IndexPage page;
  size_t entries = 0;
  const int rounds = 20000;
  auto start = Clock::now();
  for (int r = 0; r < rounds; ++r) {
    for (uint32_t n : leaves) {
      page.decode(fetch(n), n, format);
      entries += page.size();
    }
  }
  const double s = secondsSince(start);
  report("leaf page decodes", rounds * leaves.size(), s, "pages");
  std::printf("%-34s %10.0f entries/s\n", "  entries decoded", entries / s);
  if (root == 0) return;

  // Seeks through the two-level index, to keys taken from its own entries.
  std::vector<jet::KeyBytes> targets;
  for (jet::IndexEntryCursor c(fetch, format, root); c.next();) {
    targets.emplace_back(c.key().begin(), c.key().end());
  }
  jet::IndexEntryCursor cursor(fetch, format, root);
  const size_t seeks = 200000;
  size_t found = 0;
  start = Clock::now();
  for (size_t i = 0; i < seeks; ++i) {
    cursor.seek(targets[(i * 7919) % targets.size()]);
    found += cursor.next();
  }
  report("seeks (decoding every page read)", seeks, secondsSince(start), "seeks");
  if (found != seeks) std::printf("  (only %zu found!)\n", found);
}

}  // namespace

int main(int argc, char** argv) {
  const size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
  std::printf("index keys: %zu of each\n", n);
  encodingFigures(n);
  pageFigures("jet4", "compIndexTestV2000.mdb", jet::Format::Jet4);
  pageFigures("jet3", "compIndexTestV1997.mdb", jet::Format::Jet3);
  return 0;
}
