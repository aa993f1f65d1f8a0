// Loads an index page's header and entry boundaries, and searches and reads its entries
// without rebuilding those it does not need.
#include "jet/codec/index_page_view.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/error.h"
#include "jet/util/bytes.h"

namespace jet {
namespace {

[[noreturn]] void corrupt(uint32_t number, const std::string& what) {
  throw Error(ErrorKind::Corrupt, "index page " + std::to_string(number) + ": " + what);
}

// Bits of the largest entry map; an entry ends at each set bit.
constexpr size_t kMaxEntryMapBits = std::max(kJet4IndexPage.entryMapSize, kJet3IndexPage.entryMapSize) * 8;

int compareBytes(const uint8_t* a, size_t na, const uint8_t* b, size_t nb) {
  const size_t n = std::min(na, nb);
  if (n > 0) {
    const int c = std::memcmp(a, b, n);
    if (c != 0) return c;
  }
  return na < nb ? -1 : (na > nb ? 1 : 0);
}

// Up to eight bytes as a big-endian number, zero-filled: numbers order as the bytes do,
// except that a shorter run ties with one that continues with zeros.
uint64_t headOf(const uint8_t* p, size_t n) {
  uint64_t v = 0;
  std::memcpy(&v, p, n < 8 ? n : 8);
  return __builtin_bswap64(v);
}

uint32_t be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

}  // namespace

void IndexPageView::load(std::span<const uint8_t> page, uint32_t number, Format format) {
  held_.reset();
  const size_t used = parse(page, number, format);
  const uint8_t* entries = page.data() + indexPageLayout(format).entries();
  copy_.assign(entries, entries + used);
  entries_ = copy_.data();
}

void IndexPageView::load(PageRef page, Format format) {
  parse(std::span<const uint8_t>(page->bytes), page->number, format);
  copy_.clear();
  entries_ = page->data() + indexPageLayout(format).entries();
  held_ = std::move(page);
}

size_t IndexPageView::parse(std::span<const uint8_t> page, uint32_t number, Format format) {
  const IndexPageLayout& layout = indexPageLayout(format);
  number_ = number;
  entries_ = nullptr;
  prefixLength_ = 0;
  ends_.clear();
  heads_.clear();
  links_.clear();
  prepared_ = false;
  if (page.size() != layout.pageSize) corrupt(number, "short page");
  if (page[0] != kIndexLeafPage && page[0] != kIndexNodePage) {
    corrupt(number, "not an index page (type " + std::to_string(page[0]) + ")");
  }
  leaf_ = page[0] == kIndexLeafPage;
  trailer_ = kEntryRowIdSize + (leaf_ ? 0 : kEntryChildSize);
  freeSpace_ = le16(page.data() + layout.freeSpace);
  tableDefinition_ = le32(page.data() + layout.tableDefinition);
  previous_ = le32(page.data() + layout.previousPage);
  next_ = le32(page.data() + layout.nextPage);
  tail_ = le32(page.data() + layout.tailPage);
  const size_t prefixLength =
      layout.prefixLengthSize == 2 ? le16(page.data() + layout.prefixLength) : page[layout.prefixLength];

  const size_t room = layout.entryRoom();
  const uint8_t* map = page.data() + layout.entryMap;
  if (map[0] & 1) corrupt(number, "entry map marks an empty entry");
  // Entry ends are gathered on the stack, then stored with one allocation of the right size.
  uint16_t found[kMaxEntryMapBits];
  size_t count = 0;
  size_t start = 0;
  // The map is read eight bytes at a time (low bit first within each byte, so a
  // little-endian word keeps bit order); most words are zero.
  for (size_t byte = 0; byte < layout.entryMapSize; byte += 8) {
    uint64_t bits = 0;
    const size_t n = std::min<size_t>(8, layout.entryMapSize - byte);
    for (size_t k = 0; k < n; ++k) bits |= static_cast<uint64_t>(map[byte + k]) << (8 * k);
    while (bits != 0) {
      const size_t end = byte * 8 + static_cast<size_t>(__builtin_ctzll(bits));
      bits &= bits - 1;
      if (end > room) corrupt(number, "entry map marks an entry past the end of the page");
      const bool first = count == 0;
      const size_t length = end - start + (first ? 0 : prefixLength);
      if (length < trailer_) corrupt(number, "entry of " + std::to_string(length) + " bytes is too short");
      if (first && prefixLength > length) corrupt(number, "shared prefix is longer than the first entry");
      found[count++] = static_cast<uint16_t>(end);
      start = end;
    }
  }
  ends_.assign(found, found + count);
  if (ends_.empty() && prefixLength != 0) corrupt(number, "shared prefix on a page without entries");
  prefixLength_ = ends_.empty() ? 0 : prefixLength;
  return start;
}

uint8_t IndexPageView::at(size_t i, size_t k) const {
  if (i == 0) return entries_[k];
  if (k < prefixLength_) return entries_[k];
  return entries_[begin(i) + k - prefixLength_];
}

int IndexPageView::compareKey(size_t i, std::span<const uint8_t> target) const {
  const size_t keyLen = keyLength(i);
  if (i == 0) return compareBytes(entries_, keyLen, target.data(), target.size());
  // The key is the shared prefix (as much of it as lies in the key), then stored bytes.
  const size_t fromPrefix = std::min(prefixLength_, keyLen);
  const size_t head = std::min(fromPrefix, target.size());
  if (head > 0) {
    const int c = std::memcmp(entries_, target.data(), head);
    if (c != 0) return c;
  }
  if (head < fromPrefix) return 1;  // target ended inside the prefix
  return compareBytes(entries_ + begin(i), keyLen - fromPrefix, target.data() + head, target.size() - head);
}

void IndexPageView::prepareSearch() {
  heads_.clear();
  links_.clear();
  prepared_ = false;
  const size_t n = ends_.size();
  const size_t p = prefixLength_;
  heads_.resize(n);
  links_.resize(n);
  size_t start = 0;  // of entry i's stored bytes
  for (size_t i = 0; i < n; ++i) {
    const size_t whole = ends_[i] - start + (i == 0 ? 0 : p);
    const size_t keyLen = whole - trailer_;
    // Only pages whose every key holds the whole prefix (all but pages where the prefix runs
    // into the row ids of equal keys).
    if (keyLen < p) {
      heads_.clear();
      links_.clear();
      return;
    }
    // The key after the prefix, then the row id (3 + 1 bytes) and on intermediate pages the
    // child (4), all stored: the prefix lies within the key.
    const uint8_t* rest = entries_ + start + (i == 0 ? p : 0);
    heads_[i] = headOf(rest, keyLen - p);
    const uint8_t* trailer = rest + (keyLen - p);
    links_[i] = be32(trailer + (leaf_ ? 0 : kEntryRowIdSize));  // a leaf's row id packs into 32 bits
    start = ends_[i];
  }
  if (p <= kInlinePrefix && p > 0) std::memcpy(prefixHead_, entries_, p);
  prepared_ = true;
}

size_t IndexPageView::preparedLowerBound(std::span<const uint8_t> target) const {
  // Every key starts with the prefix: a target that differs from it within the prefix sorts
  // before or after all of them at once.
  const size_t p = prefixLength_;
  const size_t head = std::min(p, target.size());
  if (head > 0) {
    const int c = std::memcmp(p <= kInlinePrefix ? prefixHead_ : entries_, target.data(), head);
    if (c != 0) return c > 0 ? 0 : ends_.size();
  }
  if (target.size() <= p) return 0;  // the target is a prefix of every key
  const uint64_t wanted = headOf(target.data() + p, target.size() - p);
  size_t lo = 0, hi = ends_.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    const bool below = heads_[mid] != wanted ? heads_[mid] < wanted : compareKey(mid, target) < 0;
    if (below) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

size_t IndexPageView::lowerBound(std::span<const uint8_t> target) const {
  if (prepared_) return preparedLowerBound(target);
  size_t lo = 0, hi = ends_.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (compareKey(mid, target) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

RowId IndexPageView::read(size_t i, std::vector<uint8_t>& key, uint32_t* child) const {
  const size_t keyLen = keyLength(i);
  key.clear();
  if (i == 0) {
    key.insert(key.end(), entries_, entries_ + keyLen);
  } else {
    const size_t fromPrefix = std::min(prefixLength_, keyLen);
    key.insert(key.end(), entries_, entries_ + fromPrefix);
    const auto stored = entries_ + begin(i);
    key.insert(key.end(), stored, stored + (keyLen - fromPrefix));
  }
  const RowId row = rowId(i);
  if (child) *child = this->child(i);
  return row;
}

RowId IndexPageView::rowId(size_t i) const {
  if (prepared_ && leaf_) return RowId{links_[i] >> 8, static_cast<uint16_t>(links_[i] & 0xFF)};
  // Row id and child are big-endian; the prefix may cover the first bytes of the row id.
  const size_t keyLen = keyLength(i);
  const uint32_t page = (static_cast<uint32_t>(at(i, keyLen)) << 16) | (static_cast<uint32_t>(at(i, keyLen + 1)) << 8) |
                        at(i, keyLen + 2);
  return RowId{page, at(i, keyLen + kEntryDataPageSize)};
}

uint32_t IndexPageView::child(size_t i) const {
  if (leaf_) return 0;
  if (prepared_) return links_[i];
  const size_t keyLen = keyLength(i);
  uint32_t c = 0;
  for (size_t k = 0; k < kEntryChildSize; ++k) c = (c << 8) | at(i, keyLen + kEntryRowIdSize + k);
  return c;
}

bool IndexPageView::keyStartsWith(size_t i, std::span<const uint8_t> target) const {
  const size_t keyLen = keyLength(i);
  if (keyLen < target.size()) return false;
  if (i == 0) return target.empty() || std::memcmp(entries_, target.data(), target.size()) == 0;
  const size_t fromPrefix = std::min(prefixLength_, keyLen);
  const size_t head = std::min(fromPrefix, target.size());
  if (head > 0 && std::memcmp(entries_, target.data(), head) != 0) return false;
  const size_t rest = target.size() - head;
  return rest == 0 || std::memcmp(entries_ + begin(i), target.data() + head, rest) == 0;
}

}  // namespace jet
