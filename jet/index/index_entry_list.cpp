// Gathering and sorting index entries.
#include "jet/index/index_entry_list.h"

#include <algorithm>

#include "jet/codec/index_page.h"

namespace jet {
namespace {

uint64_t headOf(std::span<const uint8_t> key) {
  uint64_t v = 0;
  for (size_t k = 0; k < 8; ++k) v = (v << 8) | (k < key.size() ? key[k] : 0);
  return v;
}

}  // namespace

void IndexEntryList::add(std::span<const uint8_t> key, RowId row) {
  entries_.push_back(Entry{headOf(key), bytes_.size(), static_cast<uint32_t>(key.size()), row});
  bytes_.insert(bytes_.end(), key.begin(), key.end());
}

void IndexEntryList::sort() {
  std::sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) {
    if (a.head != b.head) return a.head < b.head;
    return compareIndexEntries({bytes_.data() + a.offset, a.length}, a.row, {bytes_.data() + b.offset, b.length},
                               b.row) < 0;
  });
}

size_t IndexEntryList::distinctKeys() const {
  size_t n = 0;
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (i == 0 || entries_[i].head != entries_[i - 1].head) {
      ++n;
      continue;
    }
    const auto a = key(i - 1), b = key(i);
    if (!std::equal(a.begin(), a.end(), b.begin(), b.end())) ++n;
  }
  return n;
}

void IndexEntryList::clear() {
  std::vector<uint8_t>().swap(bytes_);
  std::vector<Entry>().swap(entries_);
}

}  // namespace jet
