// Decodes every entry of an index page, on top of the page view's checks.
#include "jet/codec/index_page.h"

#include <algorithm>
#include <cstring>

namespace jet {

void IndexPage::decode(std::span<const uint8_t> page, uint32_t number, Format format) {
  view_.load(page, number, format);
  keys_.clear();
  entries_.clear();
  std::vector<uint8_t> key;
  for (size_t i = 0; i < view_.size(); ++i) {
    uint32_t child = 0;
    const RowId row = view_.read(i, key, &child);
    entries_.push_back(Slot{static_cast<uint32_t>(keys_.size()), static_cast<uint32_t>(key.size()), row, child});
    keys_.insert(keys_.end(), key.begin(), key.end());
  }
}

IndexEntry IndexPage::entry(size_t i) const {
  const Slot& s = entries_[i];
  return IndexEntry{std::span<const uint8_t>(keys_.data() + s.keyOffset, s.keyLength), s.row, s.child};
}

int compareIndexEntries(std::span<const uint8_t> keyA, RowId rowA, std::span<const uint8_t> keyB, RowId rowB) {
  const size_t n = std::min(keyA.size(), keyB.size());
  if (n > 0) {
    const int c = std::memcmp(keyA.data(), keyB.data(), n);
    if (c != 0) return c < 0 ? -1 : 1;
  }
  if (keyA.size() != keyB.size()) return keyA.size() < keyB.size() ? -1 : 1;
  if (rowA == rowB) return 0;
  return rowA < rowB ? -1 : 1;
}

}  // namespace jet
