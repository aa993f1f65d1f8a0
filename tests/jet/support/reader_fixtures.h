// Test helpers for the read side: the shared fixture databases, temporary copies, and
// whole-file reads for building damaged variants in memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace jet::testing {

// <repo>/../shared/fixtures (QAR_FIXTURES_DIR); empty path when absent.
std::filesystem::path fixturesRoot();
// Every .mdb under fixtures/access and fixtures/qar26m, sorted.
std::vector<std::filesystem::path> allFixtureDatabases();
// The Access 97 (Jet 3) ones among them.
std::vector<std::filesystem::path> jet3Fixtures();
// A fixture by relative path ("access/jet4/testV2000.mdb"); empty path when absent.
std::filesystem::path fixture(const std::string& relative);

std::vector<uint8_t> readWholeFile(const std::filesystem::path& path);
void writeWholeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// A private temporary folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // Copies a file into the folder (writable), returning the copy's path.
  std::filesystem::path copy(const std::filesystem::path& from) const;

 private:
  std::filesystem::path path_;
};

}  // namespace jet::testing

// Skips the current test when the shared fixtures are absent.
#define QAR_REQUIRE_FIXTURES()                                                         \
  do {                                                                                 \
    if (::jet::testing::fixturesRoot().empty())                                        \
      GTEST_SKIP() << "shared fixtures not found at " QAR_FIXTURES_DIR;                \
  } while (0)
