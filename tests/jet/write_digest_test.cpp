// The bytes the writer produces, held to recorded digests: a new database, a table with
// indexes and long values, inserts, growing updates (moved rows), deletes and flushes, for a
// few seeds. A change anywhere in the write path that alters a single byte shows up here.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "jet/database.h"
#include "jet/write/value_encoder.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace {

using jet::testing::TempDir;

// FNV-1a, 64 bits: enough to notice any change, needs no library.
uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (uint8_t b : bytes) {
    h ^= b;
    h *= 0x100000001b3ull;
  }
  return h;
}

std::string hex(uint64_t v) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
  return buf;
}

jet::TableSpec cardsSpec() {
  using K = jet::ColumnKind;
  jet::TableSpec blueprint;
  blueprint.name = "Cards";
  blueprint.columns = {{"ID", K::Long, 0, true},  {"Code", K::Text, 20},  {"Name", K::Text, 80},
                  {"Notes", K::Memo},        {"Photo", K::OLE},      {"Amount", K::Currency},
                  {"When", K::DateTime},     {"Active", K::YesNo},   {"Level", K::Integer}};
  blueprint.indexes = {{"PrimaryKey", {"ID"}, true, true},
                  {"Code", {"Code"}, false, true},
                  {"NameDown", {"-Name", "Level"}, false, false, true}};
  return blueprint;
}

std::string text(std::mt19937& rng, size_t length) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789";
  std::string s;
  for (size_t i = 0; i < length; ++i) s += kLetters[rng() % (sizeof kLetters - 1)];
  return s;
}

jet::Row cardRow(std::mt19937& rng, int n) {
  jet::Row row(9, jet::Null{});
  row[1] = "C" + std::to_string(100000 + n);
  row[2] = text(rng, 1 + rng() % 20);
  uint32_t notes = rng() % 4;
  if (notes == 1) row[3] = text(rng, 30);
  if (notes == 2) row[3] = text(rng, 1500 + rng() % 3000);
  if (notes == 3) row[3] = text(rng, 5000 + rng() % 9000);  // a chain over several pages
  if (rng() % 5 == 0) row[4] = jet::Bytes(100 + rng() % 6000, static_cast<uint8_t>(n));
  row[5] = jet::Currency{static_cast<int64_t>(rng() % 100000000)};
  row[6] = jet::DateTime{40000.0 + (rng() % 8000) / 4.0};
  row[7] = rng() % 2 == 0;
  if (rng() % 3 != 0) row[8] = static_cast<int16_t>(rng() % 200);
  return row;
}

// Runs the operations for one seed in a fresh file and returns the file's bytes.
std::vector<uint8_t> writeSample(const std::filesystem::path& path, uint32_t seed) {
  std::mt19937 rng(seed);
  {
    auto db = jet::Database::create(path.string());
    auto cards = db->createTable(cardsSpec());
    std::vector<jet::RowId> ids;
    const int count = 150 + static_cast<int>(seed % 7) * 10;
    for (int n = 0; n < count; ++n) {
      jet::Row row = cardRow(rng, n);
      ids.push_back(cards.insert(row));
    }
    db->flush();
    // Grow some rows (they move to other pages), shrink others, drop a few.
    for (int n = 0; n < count; n += 3) {
      jet::Row row = cards.read(ids[n]);
      row[2] = text(rng, 60 + rng() % 20);
      if (n % 2 == 0) row[3] = text(rng, 2000 + rng() % 4000);
      cards.update(ids[n], row);
    }
    for (int n = 1; n < count; n += 7) {
      jet::Row row = cards.read(ids[n]);
      row[2] = std::string("x");
      row[3] = jet::Null{};
      row[4] = jet::Null{};
      cards.update(ids[n], row);
    }
    for (int n = 2; n < count; n += 5) cards.remove(ids[n]);
    db->flush();
    auto other = db->createTable({"Log", {{"Line", jet::ColumnKind::Text, 100}}, {}});
    for (int n = 0; n < 40; ++n) {
      jet::Row row{text(rng, 90)};
      other.insert(row);
    }
    other.removeAll();
    for (int n = 0; n < 5; ++n) {
      jet::Row row = cardRow(rng, count + n);
      cards.insert(row);
    }
    db->close();
  }
  return jet::testing::readWholeFile(path);
}

TEST(WriteDigestTest, TheSameOperationsWriteTheSameBytes) {
  // A fixed clock: creation dates and catalog dates would otherwise differ on every run.
  jet::write::setFixedDateTimeForTesting(46000.5);
  struct Case {
    uint32_t seed;
    const char* digest;
  };
  const Case cases[] = {{1, "a2e00420a584a56c"}, {7, "2c7f012ce5820fa7"}, {2026, "2bc5ed17b83e7e81"}};
  for (const Case& c : cases) {
    TempDir dir;
    auto path = dir.path() / "digest.mdb";
    std::vector<uint8_t> bytes = writeSample(path, c.seed);
    auto report = jet::testing::checkFile(path);
    EXPECT_TRUE(report.ok()) << "seed " << c.seed << "\n" << jet::testing::describeDefects(report);
    EXPECT_EQ(hex(fnv1a(bytes)), c.digest) << "seed " << c.seed << ", " << bytes.size() << " bytes";
  }
  jet::write::setFixedDateTimeForTesting(-1.0);
}

}  // namespace
