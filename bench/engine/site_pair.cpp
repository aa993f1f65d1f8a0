// The site-shaped pair of the site benchmark (see site_pair.h).
#include "site_pair.h"

#include <string>

#include "engine/catalogue.h"
#include "jet/database.h"
#include "qar_pair.h"

namespace qar::bench {

SiteShape SiteShape::scaled(double factor) {
  SiteShape s;
  s.tableRecords = int(s.tableRecords * factor);
  s.flowRecords = int(s.flowRecords * factor);
  return s;
}

namespace {

// A fixed mix of the record number, the side and the column: the same inputs, the same value.
uint32_t mix(uint32_t a, uint32_t b, uint32_t c = 0) {
  uint64_t h = (uint64_t(a) * 0x9E3779B97F4A7C15ull) ^ (uint64_t(b) * 0xC2B2AE3D27D4EB4Full) ^ (uint64_t(c) << 17);
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 32;
  return uint32_t(h);
}

const char* const kCjkWords[] = {"技术部", "研发中心", "张伟", "李娜", "王芳", "門禁管理", "総務課", "인사팀", "保安部", "财务科"};
const char* const kLatinWords[] = {"door",    "controller", "José",  "Müller", "François", "Zoë",     "access",
                                   "garage",  "entrance",   "north", "Łódź",   "Ångström", "visitor", "night",
                                   "shift",   "maintenance", "card", "reader", "façade",   "élan"};

// Keeps at most limit characters (UTF-8 code points) of text.
std::string fitted(std::string text, int limit) {
  if (limit <= 0) return text;
  int chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((uint8_t(text[i]) & 0xC0) == 0x80) continue;
    if (chars++ == limit) {
      text.resize(i);
      break;
    }
  }
  return text;
}

// A CJK word, then Latin words up to about `bytes` bytes of UTF-16 (two per character).
std::string words(uint32_t seed, size_t bytes) {
  std::string text = kCjkWords[seed % 10];
  size_t units = 3;
  for (uint32_t w = 0; units * 2 < bytes; ++w) {
    const char* word = kLatinWords[mix(seed, w) % 20];
    text += ' ';
    text += word;
    units += 1 + std::string(word).size();  // close enough: accents count one unit
  }
  return text;
}

jet::Value remark(uint32_t seed) {
  const uint32_t r = seed % 100;
  if (r < 30) return jet::Null{};
  if (r < 85) return fitted(words(seed, 2 * (20 + seed / 100 % 130)), 150);
  return words(seed, 2048 + seed / 100 % 10241);  // 2 to 12 KB stored as UTF-16
}

std::string name(uint32_t seed, int key) {
  const bool cjk = seed % 2 == 0;
  return cjk ? std::string(kCjkWords[seed / 2 % 10]) + std::to_string(key)
             : std::string(kLatinWords[seed / 2 % 20]) + " " + kLatinWords[seed / 40 % 20] + " " + std::to_string(key);
}

// The value of column c in the record numbered key (keys decide merge matches).
jet::Value generated(const jet::Column& column, size_t c, int key, TransferStrategy strategy, int testColumn,
                     bool source, uint32_t tableSeed) {
  using jet::ColumnKind;
  if (column.autoNumber) return jet::Null{};
  const uint32_t seed = mix(uint32_t(key), tableSeed + (source ? 0 : 7919), uint32_t(c));
  if (std::optional<jet::Value> k = keyValue(column, c, key, strategy, source)) return *k;
  if (int(c) == testColumn && source) {
    if (key % 10 == 3) return std::string("  ");
    if (key % 10 == 7) return std::string();
  }
  const int n = int(seed % 1000000);
  if (std::optional<jet::Value> v = numberValue(column.kind, n)) return *v;
  switch (column.kind) {
    case ColumnKind::DateTime: return jet::DateTime{45000.0 + double(n % 20000) / 4.0};
    case ColumnKind::Text: {
      const int limit = column.textLength(true);
      if (column.name.find("Name") != std::string::npos) return fitted(name(seed, key), limit);
      return fitted((source ? "S" : "D") + std::to_string(key) + "-" + std::to_string(c), limit);
    }
    case ColumnKind::Memo: return remark(seed);
    default: return jet::Null{};
  }
}

// A value's size as stored, text counted as UTF-16.
double storedBytes(const jet::Value& v) {
  if (const auto* s = std::get_if<std::string>(&v)) {
    double units = 0;
    for (char ch : *s) units += (uint8_t(ch) & 0xC0) != 0x80;
    return 2 * units;
  }
  switch (v.index()) {
    case 0: return 0;
    case 1: case 2: return 1;
    case 3: return 2;
    case 4: case 6: return 4;
    default: return 8;
  }
}

SiteTableFigures fill(jet::Database& db, const QString& table, int count, int firstKey, bool source) {
  jet::Table t = db.table(table.toStdString());
  const TransferStrategy strategy = strategyFor(table);
  const int testColumn = refreshTestColumn(table);
  const auto& columns = t.def().columns;
  uint32_t tableSeed = 2166136261u;  // FNV-1a of the name: the same on every run
  for (QChar ch : table) tableSeed = (tableSeed ^ ch.unicode()) * 16777619u;
  SiteTableFigures figures;
  jet::Row row(columns.size());
  for (int i = 0; i < count; ++i) {
    for (size_t c = 0; c < columns.size(); ++c) {
      row[c] = generated(columns[c], c, firstKey + i, strategy, testColumn, source, tableSeed);
      figures.payloadBytes += storedBytes(row[c]);
    }
    t.insert(row);
  }
  figures.records = count;
  return figures;
}

}  // namespace

std::map<QString, SiteTableFigures> makeSitePair(const QString& folder, const SiteShape& shape) {
  std::map<QString, SiteTableFigures> figures;
  makePairFiles(folder, jet::Format::Jet4, true, [&](jet::Database& db, const QString& table, bool source) {
    const int n = table == "CRFlowData" ? shape.flowRecords : shape.tableRecords;
    SiteTableFigures made;
    switch (strategyFor(table)) {
      case TransferStrategy::MergeOneKey:
      case TransferStrategy::MergeTwoKeys:
        made = fill(db, table, n, source ? 0 : n / 2, source);  // half of the keys shared, half their own
        break;
      case TransferStrategy::PositionalRefresh:
        made = fill(db, table, n, 0, source);
        break;
      case TransferStrategy::ReplaceAll:
        made = fill(db, table, source ? n : n * 4 / 5, 0, source);
        break;
    }
    if (source) figures[table] = made;
  });
  return figures;
}

}  // namespace qar::bench
