// Damaged files: truncated, with zeroed pages, with flipped bytes at many offsets, and files
// that are not Jet 3/4 databases at all. Each open and scan either succeeds or throws
// jet::Error with a message; nothing crashes, hangs or reads out of bounds (the sanitizer
// build runs this too). The corpus is made here, deterministically, from a few fixtures.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/io/file.h"
#include "reader_fixtures.h"

namespace jet {
namespace {

struct Outcome {
  bool ok = true;
  std::string message;
};

// Opens the bytes and reads everything: every table's definition and every row.
Outcome readEverything(std::vector<uint8_t> bytes) {
  try {
    auto file = std::make_unique<MemoryFile>(std::move(bytes), false, "damaged.mdb");
    auto db = Database::adopt(openDatabaseImpl(std::move(file), "damaged.mdb", OpenMode::ReadOnly));
    for (const auto& name : db->tableNames()) {
      Table table = db->table(name);
      for (RowCursor c = table.scan(); c.next();) {
      }
    }
  } catch (const Error& e) {
    return {false, e.what()};
  }
  return {};
}

void expectClearError(const Outcome& o, const std::string& what) {
  if (o.ok) return;
  EXPECT_FALSE(o.message.empty()) << what;
  EXPECT_NE(o.message.find("damaged.mdb"), std::string::npos) << what << ": " << o.message;
  if (o.message.find("password") != std::string::npos || o.message.find("encoded") != std::string::npos ||
      o.message.find("Jet 3 or Jet 4") != std::string::npos || o.message.find("Access 2007") != std::string::npos) {
    return;  // a flipped header byte: a whole-file verdict, no page to name
  }
  EXPECT_NE(o.message.find("page"), std::string::npos) << what << ": " << o.message;
}

std::vector<std::string> corpusSources() {
  return {"access/jet4/testV2000.mdb", "access/jet3/testV1997.mdb", "access/jet4/delColTestV2000.mdb",
          "access/jet3/overflowTestV1997.mdb", "qar26m/basic/source.mdb"};
}

TEST(BadInput, NotAJetDatabase) {
  for (std::vector<uint8_t> bytes : {std::vector<uint8_t>{}, std::vector<uint8_t>(10, 0), std::vector<uint8_t>(8192, 0xAB),
                                     std::vector<uint8_t>(8192, 0)}) {
    Outcome o = readEverything(bytes);
    ASSERT_FALSE(o.ok);
    EXPECT_NE(o.message.find("not a Jet 3 or Jet 4 database"), std::string::npos) << o.message;
  }
}

TEST(BadInput, TruncatedFilesGiveErrorsNamingThePage) {
  QAR_REQUIRE_FIXTURES();
  for (const auto& rel : corpusSources()) {
    auto path = testing::fixture(rel);
    if (path.empty()) continue;
    const auto whole = testing::readWholeFile(path);
    const size_t page = whole[0x14] == 0 ? 2048 : 4096;
    int failures = 0;
    for (size_t len : {size_t{100}, page - 1, page, 2 * page, 3 * page, 3 * page + 17, whole.size() / 2,
                       whole.size() - page, whole.size() - 1}) {
      if (len >= whole.size()) continue;
      Outcome o = readEverything(std::vector<uint8_t>(whole.begin(), whole.begin() + len));
      expectClearError(o, rel + " cut to " + std::to_string(len));
      if (!o.ok) ++failures;
    }
    EXPECT_GT(failures, 0) << rel;
  }
}

TEST(BadInput, CutBeforeTheCatalogSaysPage2IsMissing) {
  QAR_REQUIRE_FIXTURES();
  auto path = testing::fixture("access/jet4/testV2000.mdb");
  if (path.empty()) GTEST_SKIP() << "testV2000.mdb not in the fixtures";
  auto whole = testing::readWholeFile(path);
  Outcome o = readEverything(std::vector<uint8_t>(whole.begin(), whole.begin() + 2 * 4096));
  ASSERT_FALSE(o.ok);
  EXPECT_NE(o.message.find("page 2"), std::string::npos) << o.message;
}

TEST(BadInput, ZeroedPages) {
  QAR_REQUIRE_FIXTURES();
  for (const auto& rel : corpusSources()) {
    auto path = testing::fixture(rel);
    if (path.empty()) continue;
    const auto whole = testing::readWholeFile(path);
    const size_t page = whole[0x14] == 0 ? 2048 : 4096;
    const size_t pages = whole.size() / page;
    const size_t step = std::max<size_t>(1, pages / 48);  // keeps the sanitizer run short
    for (size_t p = 1; p < pages; p += step) {
      auto bytes = whole;
      std::fill(bytes.begin() + p * page, bytes.begin() + (p + 1) * page, 0);
      expectClearError(readEverything(std::move(bytes)), rel + " page " + std::to_string(p) + " zeroed");
    }
  }
}

TEST(BadInput, FlippedBytes) {
  QAR_REQUIRE_FIXTURES();
  std::mt19937 rng(20261208);  // fixed seed: the same corpus on every run
  for (const auto& rel : corpusSources()) {
    auto path = testing::fixture(rel);
    if (path.empty()) continue;
    const auto whole = testing::readWholeFile(path);
    const size_t page = whole[0x14] == 0 ? 2048 : 4096;
    // The catalog and the first table pages get most of the damage, where it matters most.
    std::uniform_int_distribution<size_t> early(0, std::min(whole.size(), 16 * page) - 1);
    std::uniform_int_distribution<size_t> anywhere(0, whole.size() - 1);
    std::uniform_int_distribution<int> bit(0, 7);
    for (int round = 0; round < 300; ++round) {
      auto bytes = whole;
      int flips = 1 + round % 4;
      for (int i = 0; i < flips; ++i) {
        size_t at = round % 3 == 0 ? anywhere(rng) : early(rng);
        bytes[at] ^= static_cast<uint8_t>(1u << bit(rng));
      }
      expectClearError(readEverything(std::move(bytes)), rel + " round " + std::to_string(round));
    }
    // Every byte of the catalog's definition page, set to 0xFF in turn.
    for (size_t at = 2 * page; at < 3 * page; at += 7) {
      auto bytes = whole;
      bytes[at] = 0xFF;
      expectClearError(readEverything(std::move(bytes)), rel + " byte " + std::to_string(at));
    }
  }
}

TEST(BadInput, RefusedFormatsSaySo) {
  QAR_REQUIRE_FIXTURES();
  auto path = testing::fixture("access/jet4/testV2000.mdb");
  if (path.empty()) GTEST_SKIP() << "testV2000.mdb not in the fixtures";
  const auto whole = testing::readWholeFile(path);
  auto ace = whole;
  ace[0x14] = 0x02;
  Outcome o = readEverything(ace);
  ASSERT_FALSE(o.ok);
  EXPECT_NE(o.message.find("Access 2007 format is not supported"), std::string::npos) << o.message;
  std::memcpy(ace.data() + 4, "Standard ACE DB", 15);
  o = readEverything(ace);
  EXPECT_NE(o.message.find("Access 2007 format is not supported"), std::string::npos) << o.message;
  auto v5 = whole;
  v5[0x14] = 0x07;
  o = readEverything(v5);
  EXPECT_NE(o.message.find("Access 2007"), std::string::npos) << o.message;
}

}  // namespace
}  // namespace jet
