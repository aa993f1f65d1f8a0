// Test helper for the index tests: a database file read whole into memory, served page by
// page, so index pages of Access-written files can be decoded without the rest of the engine.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/index/index_tree.h"

namespace jet::testing {

class RawPages {
 public:
  // Reads the file; the format comes from its version byte (0 = Jet 3).
  explicit RawPages(const std::filesystem::path& path);
  Format format() const { return format_; }
  size_t pageSize() const { return format_ == Format::Jet4 ? 4096 : 2048; }
  uint32_t pageCount() const { return static_cast<uint32_t>(bytes_.size() / pageSize()); }
  std::span<const uint8_t> page(uint32_t number) const;
  IndexPageFetcher fetcher() const {
    return [this](uint32_t n) { return page(n); };
  }

 private:
  std::vector<uint8_t> bytes_;
  Format format_ = Format::Jet4;
};

// Index pages (leaf or intermediate) that no intermediate page leads to: the roots of the
// indexes in the file (and of any index pages left over from deleted indexes).
std::vector<uint32_t> indexRoots(const RawPages& pages);

// The fixture folder for Access-written files of one format ("jet3" or "jet4"), and the
// .mdb files in it, sorted; empty when the folder is absent.
std::filesystem::path accessFixtureDir(const std::string& format);
std::vector<std::filesystem::path> accessFixtures(const std::string& format);

}  // namespace jet::testing
