// The sample pair qar26m-cli makes to try a conversion on: both files hold the eighteen
// tables with records, an existing file is never overwritten, and a failure leaves nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/command.h"
#include "cli/sample_pair.h"
#include "jet/database.h"

namespace qar::cli {
namespace {

namespace fs = std::filesystem;

struct TempFolder {
  TempFolder() {
    path = fs::temp_directory_path() / ("qar-sample-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                        "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path);
  }
  ~TempFolder() { fs::remove_all(path); }
  fs::path path;
};

TEST(SamplePair, HoldsTheEighteenTablesOnBothSides) {
  TempFolder folder;
  SamplePair pair;
  try {
    pair = makeSamplePair(folder.path.string());
  } catch (const jet::Error& e) {
    if (e.kind() == jet::ErrorKind::Unsupported) GTEST_SKIP() << "the storage engine cannot write this yet: " << e.what();
    throw;
  }
  for (const std::string& path : {pair.source, pair.destination}) {
    auto db = jet::Database::open(path);
    EXPECT_EQ(db->tableNames().size(), 18u) << path;
    for (const char* name : {"DepartmentData", "HolderData", "CRFlowData", "IOData", "CRTimeZoneData"}) {
      ASSERT_TRUE(db->hasTable(name)) << name;
      EXPECT_GT(db->table(name).rowCount(), 0u) << name;
    }
  }
  // Positional tables pair record for record.
  auto source = jet::Database::open(pair.source);
  auto destination = jet::Database::open(pair.destination);
  EXPECT_EQ(source->table("HolderData").rowCount(), destination->table("HolderData").rowCount());
  EXPECT_EQ(source->table("CardData").rowCount(), destination->table("CardData").rowCount());
}

TEST(SamplePair, RefusesAFolderThatHoldsAPairAlready) {
  TempFolder folder;
  fs::create_directories(folder.path);
  { std::ofstream(folder.path / "destination.mdb") << "keep me"; }
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(runCli({"sample", folder.path.string()}, out, err), 1);
  EXPECT_NE(err.str().find("exists already"), std::string::npos) << err.str();
  std::ifstream kept(folder.path / "destination.mdb");
  std::string text;
  std::getline(kept, text);
  EXPECT_EQ(text, "keep me");
  EXPECT_FALSE(fs::exists(folder.path / "source.mdb"));
}

TEST(SamplePair, NeedsExactlyOneFolder) {
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(runCli({"sample"}, out, err), 2);
  EXPECT_EQ(runCli({"sample", "a", "b"}, out, err), 2);
}

}  // namespace
}  // namespace qar::cli
