// Fixture discovery and temporary copies.
#include "reader_fixtures.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace jet::testing {

namespace fs = std::filesystem;

fs::path fixturesRoot() {
  fs::path root(QAR_FIXTURES_DIR);
  std::error_code ec;
  return fs::is_directory(root, ec) ? root : fs::path();
}

std::vector<fs::path> allFixtureDatabases() {
  std::vector<fs::path> found;
  fs::path root = fixturesRoot();
  if (root.empty()) return found;
  for (const char* sub : {"access", "qar26m"}) {
    std::error_code ec;
    if (!fs::is_directory(root / sub, ec)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / sub)) {
      if (entry.is_regular_file() && entry.path().extension() == ".mdb") found.push_back(entry.path());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<fs::path> jet3Fixtures() {
  std::vector<fs::path> out;
  for (const fs::path& source : allFixtureDatabases()) {
    if (source.parent_path().filename() == "jet3") out.push_back(source);
  }
  return out;
}

fs::path fixture(const std::string& relative) {
  fs::path root = fixturesRoot();
  if (root.empty()) return {};
  std::error_code ec;
  return fs::exists(root / relative, ec) ? root / relative : fs::path();
}

std::vector<uint8_t> readWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeWholeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "qar-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

fs::path TempDir::copy(const fs::path& from) const {
  fs::path to = path_ / from.filename();
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
  return to;
}

}  // namespace jet::testing
