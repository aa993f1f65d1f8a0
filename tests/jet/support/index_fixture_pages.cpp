// Reads database files whole for the index tests and finds their index trees.
#include "index_fixture_pages.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>

#include "jet/error.h"
#include "jet/codec/index_page.h"

namespace jet::testing {

RawPages::RawPages(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error(ErrorKind::Io, "cannot open " + path.string());
  bytes_.resize(std::filesystem::file_size(path));
  in.read(reinterpret_cast<char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
  if (!in) throw Error(ErrorKind::Io, "cannot read " + path.string());
  // The header page's version byte (offset 0x14): 0 for Jet 3, 1 and up for Jet 4 and later.
  if (bytes_.size() < 0x15) throw Error(ErrorKind::Corrupt, "file too short: " + path.string());
  format_ = bytes_[0x14] == 0 ? Format::Jet3 : Format::Jet4;
}

std::span<const uint8_t> RawPages::page(uint32_t number) const {
  const size_t at = static_cast<size_t>(number) * pageSize();
  if (number == 0 || at + pageSize() > bytes_.size()) {
    throw Error(ErrorKind::Corrupt, "page " + std::to_string(number) + " is outside the file");
  }
  return std::span<const uint8_t>(bytes_.data() + at, pageSize());
}

std::vector<uint32_t> indexRoots(const RawPages& pages) {
  std::set<uint32_t> indexPages, children;
  IndexPage page;
  for (uint32_t n = 1; n < pages.pageCount(); ++n) {
    const auto bytes = pages.page(n);
    if (bytes[0] != kIndexLeafPage && bytes[0] != kIndexNodePage) continue;
    if (bytes[1] != kIndexPageMarker) continue;
    indexPages.insert(n);
    if (bytes[0] != kIndexNodePage) continue;
    page.decode(bytes, n, pages.format());
    for (size_t i = 0; i < page.size(); ++i) children.insert(page.entry(i).child);
    if (page.tailPage() != 0) children.insert(page.tailPage());
  }
  std::vector<uint32_t> roots;
  std::set_difference(indexPages.begin(), indexPages.end(), children.begin(), children.end(),
                      std::back_inserter(roots));
  return roots;
}

std::filesystem::path accessFixtureDir(const std::string& format) {
  return std::filesystem::path(QAR_FIXTURES_DIR) / "access" / format;
}

std::vector<std::filesystem::path> accessFixtures(const std::string& format) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(accessFixtureDir(format), ec)) {
    if (e.path().extension() == ".mdb") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace jet::testing
