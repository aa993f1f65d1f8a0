// The entries an index should hold, gathered from a table's rows and put in index order:
// keys back to back in one buffer, each entry a small record sorted by its key's first
// eight bytes, then the whole key, then the row. For rebuilding an index and for checking one.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "jet/format/types.h"

namespace jet {

class IndexEntryList {
 public:
  // A hint (a row count read from a file): at most a million entries are set aside ahead.
  void reserve(size_t entries) { entries_.reserve(std::min<size_t>(entries, size_t{1} << 20)); }
  void add(std::span<const uint8_t> key, RowId row);
  // Puts the entries in index order (key bytes unsigned, then row id).
  void sort();

  size_t size() const { return entries_.size(); }
  std::span<const uint8_t> key(size_t i) const { return {bytes_.data() + entries_[i].offset, entries_[i].length}; }
  RowId row(size_t i) const { return entries_[i].row; }
  // Keys that differ from the one before them (once sorted).
  size_t distinctKeys() const;
  // Gives the memory back.
  void clear();

 private:
  struct Entry {
    uint64_t head;    // the key's first eight bytes, big-endian, zero-filled
    uint64_t offset;  // of the key in bytes_
    uint32_t length;
    RowId row;
  };
  std::vector<uint8_t> bytes_;
  std::vector<Entry> entries_;
};

}  // namespace jet
