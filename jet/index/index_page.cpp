// Decodes index pages: header, entry map, prefix compression, entries.
#include "jet/index/index_page.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/error.h"

namespace jet {
namespace {

uint16_t le16At(std::span<const uint8_t> p, size_t at) {
  return static_cast<uint16_t>(p[at] | (p[at + 1] << 8));
}
uint32_t le32At(std::span<const uint8_t> p, size_t at) {
  return static_cast<uint32_t>(p[at]) | (static_cast<uint32_t>(p[at + 1]) << 8) |
         (static_cast<uint32_t>(p[at + 2]) << 16) | (static_cast<uint32_t>(p[at + 3]) << 24);
}
uint32_t be24(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[2];
}
uint32_t be32(const uint8_t* p) { return (static_cast<uint32_t>(p[0]) << 24) | be24(p + 1); }

[[noreturn]] void corrupt(uint32_t number, const std::string& what) {
  throw Error(ErrorKind::Corrupt, "index page " + std::to_string(number) + ": " + what);
}

}  // namespace

void IndexPage::decode(std::span<const uint8_t> page, uint32_t number, Format format) {
  const IndexPageLayout& layout = indexPageLayout(format);
  number_ = number;
  keys_.clear();
  entries_.clear();
  prefix_.clear();
  used_ = 0;
  if (page.size() != layout.pageSize) corrupt(number, "short page");
  if (page[0] != kIndexLeafPage && page[0] != kIndexNodePage) {
    corrupt(number, "not an index page (type " + std::to_string(page[0]) + ")");
  }
  leaf_ = page[0] == kIndexLeafPage;
  freeSpace_ = le16At(page, layout.freeSpace);
  tableDefinition_ = le32At(page, layout.tableDefinition);
  previous_ = le32At(page, layout.previousPage);
  next_ = le32At(page, layout.nextPage);
  tail_ = le32At(page, layout.tailPage);
  const size_t prefixLength =
      layout.prefixLengthSize == 2 ? le16At(page, layout.prefixLength) : page[layout.prefixLength];

  const size_t trailer = kEntryRowIdSize + (leaf_ ? 0 : kEntryChildSize);
  const uint8_t* stored = page.data() + layout.entries();
  const size_t room = layout.entryRoom();
  const uint8_t* map = page.data() + layout.entryMap;
  if (map[0] & 1) corrupt(number, "entry map marks an empty entry");
  uint8_t whole[kJet4IndexPage.pageSize];  // one entry with its prefix restored
  size_t start = 0;  // where the current entry's stored bytes begin
  for (size_t byte = 0; byte < layout.entryMapSize; ++byte) {
    if (map[byte] == 0) continue;
    for (size_t bit = byte * 8; bit < byte * 8 + 8; ++bit) {
      if (!(map[byte] & (1u << (bit % 8)))) continue;
      if (bit > room) corrupt(number, "entry map marks an entry past the end of the page");
      const bool first = entries_.empty();
      const size_t restored = first ? 0 : prefixLength;
      const size_t length = bit - start + restored;
      if (length < trailer) corrupt(number, "entry of " + std::to_string(length) + " bytes is too short");
      if (first && prefixLength > length) corrupt(number, "shared prefix is longer than the first entry");
      std::memcpy(whole, prefix_.data(), restored);
      std::memcpy(whole + restored, stored + start, bit - start);
      if (first) prefix_.assign(whole, whole + prefixLength);
      const size_t keyLength = length - trailer;
      const uint8_t* rowId = whole + keyLength;
      entries_.push_back(Slot{static_cast<uint32_t>(keys_.size()), static_cast<uint32_t>(keyLength),
                              RowId{be24(rowId), rowId[kEntryDataPageSize]},
                              leaf_ ? 0u : be32(rowId + kEntryRowIdSize)});
      keys_.insert(keys_.end(), whole, whole + keyLength);
      start = bit;
    }
  }
  if (entries_.empty() && prefixLength != 0) corrupt(number, "shared prefix on a page without entries");
  used_ = start;
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
