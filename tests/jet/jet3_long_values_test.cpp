// Long values in Access 97 files: one long-value row or a chain of rows on 2 KB LVAL pages,
// written on a copy of an Access 97 file, read back through the engine's reader, released
// and their pages used again.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "jet/codec/data_page_view.h"
#include "jet/database.h"
#include "jet/codec/long_value_ref.h"
#include "jet/database_impl.h"
#include "jet/format/long_value.h"
#include "jet/long_value.h"
#include "jet/write/write_session.h"
#include "reader_fixtures.h"
#include "write_testing.h"

namespace {

using jet::testing::TempDir;
namespace fl = jet::format::longvalue;

constexpr uint32_t kPage = 2048;

std::vector<uint8_t> randomBytes(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> out(n);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

// LVAL pages holding at least one live row, read from the file's bytes.
int liveLongValuePages(const std::filesystem::path& path) {
  auto bytes = jet::testing::readWholeFile(path);
  int pages = 0;
  for (size_t at = 0; at + kPage <= bytes.size(); at += kPage) {
    jet::codec::DataPageView view(bytes.data() + at, kPage, jet::Format::Jet3);
    if (!view.isLongValuePage() || !view.rowTableFits()) continue;
    bool live = false;
    for (uint16_t r = 0; r < view.rowCount(); ++r) live = live || !view.entry(r).deleted();
    pages += live ? 1 : 0;
  }
  return pages;
}

class Jet3LongValuesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QAR_REQUIRE_FIXTURES();
    auto source = jet::testing::fixture("access/jet3/delTestV1997.mdb");
    if (source.empty()) GTEST_SKIP() << "access/jet3/delTestV1997.mdb not found";
    path_ = dir_.copy(source);
  }
  // Stores each payload in one operation and flushes; returns the references.
  std::vector<std::vector<uint8_t>> store(const std::vector<std::vector<uint8_t>>& payloads) {
    auto db = jet::openDatabaseFile(path_.string(), jet::OpenMode::ReadWrite);
    auto& session = static_cast<jet::write::WriteSession&>(db->writer());
    std::vector<std::vector<uint8_t>> refs;
    jet::write::inOperation(session.context(), [&] {
      for (const auto& p : payloads) refs.push_back(session.longValues().store(p));
    });
    session.flush();
    return refs;
  }
  void release(const std::vector<std::vector<uint8_t>>& refs) {
    auto db = jet::openDatabaseFile(path_.string(), jet::OpenMode::ReadWrite);
    auto& session = static_cast<jet::write::WriteSession&>(db->writer());
    jet::write::inOperation(session.context(), [&] {
      for (const auto& r : refs) session.longValues().release(r.data(), r.size());
    });
    session.flush();
  }
  void expectReadBack(const std::vector<std::vector<uint8_t>>& payloads, const std::vector<std::vector<uint8_t>>& refs) {
    auto db = jet::openDatabaseFile(path_.string(), jet::OpenMode::ReadOnly);
    ASSERT_EQ(db->header.format, jet::Format::Jet3);
    for (size_t i = 0; i < payloads.size(); ++i) {
      jet::Bytes back = jet::readLongValue(db->pager(), jet::Format::Jet3, refs[i].data(), refs[i].size(), "test");
      EXPECT_EQ(back, jet::Bytes(payloads[i].begin(), payloads[i].end())) << "value " << i << " of " << payloads[i].size()
                                                                            << " bytes";
    }
  }
  TempDir dir_;
  std::filesystem::path path_;
};

TEST_F(Jet3LongValuesTest, EveryStorageReadsBackAndItsPagesAreUsedAgain) {
  std::mt19937 rng(97);
  // Around the single-row limit of a 2 KB page, and chains of two to many rows.
  std::vector<size_t> sizes{1, 65, 700, fl::kMaxSingleRowJet3 - 1, fl::kMaxSingleRowJet3, fl::kMaxSingleRowJet3 + 1,
                            2 * (fl::kMaxSingleRowJet3 - fl::kChainPointerSize), 9000, 40000};
  std::vector<std::vector<uint8_t>> payloads;
  for (size_t n : sizes) payloads.push_back(randomBytes(rng, n));
  const int pagesBefore = liveLongValuePages(path_);
  auto refs = store(payloads);
  for (size_t i = 0; i < sizes.size(); ++i) {
    const auto ref = jet::codec::decodeLongValueRef(refs[i].data());
    EXPECT_EQ(ref.length, sizes[i]);
    EXPECT_EQ(ref.storage, sizes[i] <= fl::kMaxSingleRowJet3 ? fl::kSingleRow : fl::kChain) << sizes[i];
  }
  expectReadBack(payloads, refs);
  EXPECT_GT(liveLongValuePages(path_), pagesBefore);
  EXPECT_TRUE(jet::testing::checkFile(path_).ok()) << jet::testing::describeDefects(jet::testing::checkFile(path_));

  // Released values give their pages back; values of the same sizes fill them again.
  const auto sizeAfterStore = std::filesystem::file_size(path_);
  release(refs);
  EXPECT_EQ(liveLongValuePages(path_), pagesBefore);
  std::shuffle(payloads.begin(), payloads.end(), rng);
  auto again = store(payloads);
  expectReadBack(payloads, again);
  EXPECT_LE(std::filesystem::file_size(path_), sizeAfterStore);
}

// Memo values of every storage in an Access 97 table (text in code page 1252), replaced and
// deleted, read back by the engine and by mdbtools; the structure check passes.
TEST(Jet3LongValuesInRows, MemosOfEveryStorageReadBackEverywhere) {
  QAR_REQUIRE_FIXTURES();
  auto source = jet::testing::fixture("access/jet3/test2V1997.mdb");
  if (source.empty()) GTEST_SKIP() << "access/jet3/test2V1997.mdb not found";
  TempDir dir;
  auto path = dir.copy(source);
  const std::string table = "MSP_PROJECTS";
  auto memoOf = [](size_t n) {
    std::string s;
    for (size_t i = 0; s.size() < n; ++i) s += i % 7 == 0 ? "\xC3\xA9" : std::string(1, static_cast<char>('a' + i % 26));
    return s;  // about n bytes of UTF-8 (an é is two)
  };
  // Inline, one long-value row, around 2 KB, and chains.
  const size_t sizes[] = {0, 10, 60, 200, 1900, 2500, 9000};
  std::map<jet::RowId, std::string> model;
  int memo = -1;
  {
    auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
    auto t = db->table(table);
    memo = t.def().findColumn("PROJ_PROP_AUTHOR");
    ASSERT_GE(memo, 0);
    std::vector<jet::RowId> ids;
    for (size_t n : sizes) {
      jet::Row row(t.def().columns.size(), jet::Null{});
      for (size_t c = 0; c < row.size(); ++c) {
        if (t.def().columns[c].kind == jet::ColumnKind::YesNo) row[c] = false;
      }
      row[memo] = memoOf(n);
      ids.push_back(t.insert(row));
      model[ids.back()] = memoOf(n);
    }
    // A chain shrunk to one row, a short value grown into a chain, a chain deleted.
    for (auto [at, n] : {std::pair<size_t, size_t>{6, 300}, {1, 7000}}) {
      jet::Row row = t.read(ids[at]);
      row[memo] = memoOf(n);
      t.update(ids[at], row);
      model[ids[at]] = memoOf(n);
    }
    t.remove(ids[5]);
    model.erase(ids[5]);
    db->close();
  }
  auto db = jet::Database::open(path.string());
  auto t = db->table(table);
  for (const auto& [id, text] : model) EXPECT_EQ(t.read(id)[memo], jet::Value(text)) << text.size() << " bytes";
  const jet::StructureReport report = jet::testing::checkFile(path);
  EXPECT_TRUE(report.ok()) << jet::testing::describeDefects(report);
  if (jet::testing::haveMdbTools()) {
    const std::string exported = jet::testing::runCommand("mdb-export -Q -H -d '|' '" + path.string() + "' " + table);
    for (const auto& [id, text] : model) {
      if (text.empty()) continue;
      EXPECT_NE(exported.find(text), std::string::npos) << "mdb-export lacks the value of " << text.size() << " bytes";
    }
  }
}

}  // namespace
