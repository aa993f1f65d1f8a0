// A light reading of one index page: its entry bytes (a private copy, or the page as the page
// cache holds it) and where each entry ends, so a search touches only the entries it compares
// and rebuilds only the ones it reads.
// IndexPage (every entry decoded) and the index cursor are built on it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jet/format/types.h"
#include "jet/format/index_page.h"
#include "jet/pager/pager.h"

namespace jet {

class IndexPageView {
 public:
  // Copies page `number` and checks its type, entry map, entry lengths and prefix against
  // the page; throws jet::Error (Corrupt) naming the page. Reuses this object's memory.
  void load(std::span<const uint8_t> page, uint32_t number, Format format);
  // The same without a copy: the view keeps the page itself (for caches of views, whose
  // owner drops them when pages change).
  void load(PageRef page, Format format);

  uint32_t number() const { return number_; }
  bool leaf() const { return leaf_; }
  uint32_t previousPage() const { return previous_; }
  uint32_t nextPage() const { return next_; }
  uint32_t tailPage() const { return tail_; }
  uint32_t tableDefinitionPage() const { return tableDefinition_; }
  uint16_t freeSpace() const { return freeSpace_; }
  size_t usedEntryBytes() const { return ends_.empty() ? 0 : ends_.back(); }
  std::span<const uint8_t> prefix() const { return {entries_, prefixLength_}; }
  size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }

  // Length of entry i's key (the entry without row id and child page).
  size_t keyLength(size_t i) const { return length(i) - trailer_; }
  // <0, 0, >0 as entry i's key sorts before, equal to or after target (bytes, unsigned).
  int compareKey(size_t i, std::span<const uint8_t> target) const;
  // The first entry whose key is not below target; size() when there is none.
  size_t lowerBound(std::span<const uint8_t> target) const;
  // Makes lowerBound, rowId and child faster on a page searched many times (a cached one):
  // the first eight key bytes after the shared prefix of every entry kept as numbers, and
  // each entry's child or row id. Undone by load().
  void prepareSearch();
  // Rebuilds entry i's key into key (replacing its contents); returns its row id and, on
  // intermediate pages, sets child.
  RowId read(size_t i, std::vector<uint8_t>& key, uint32_t* child = nullptr) const;
  // Entry i's row id, and (intermediate pages; 0 on leaves) the child page it leads to.
  RowId rowId(size_t i) const;
  uint32_t child(size_t i) const;
  // Whether entry i's key begins with target (bytes).
  bool keyStartsWith(size_t i, std::span<const uint8_t> target) const;
  // Bytes of memory this view holds (for caches that keep many).
  size_t memoryBytes() const {
    return copy_.capacity() + (held_ ? held_->bytes.size() + sizeof(Page) : 0) + ends_.capacity() * sizeof(uint16_t) +
           heads_.capacity() * sizeof(uint64_t) + links_.capacity() * sizeof(uint32_t);
  }

 private:
  // Reads the header and entry map; returns the bytes the entries take.
  size_t parse(std::span<const uint8_t> page, uint32_t number, Format format);
  size_t begin(size_t i) const { return i == 0 ? 0 : ends_[i - 1]; }
  size_t length(size_t i) const { return ends_[i] - begin(i) + (i == 0 ? 0 : prefixLength_); }
  // Byte k of entry i (prefix restored).
  uint8_t at(size_t i, size_t k) const;
  size_t preparedLowerBound(std::span<const uint8_t> target) const;

  // What a search reads comes first (one cache line for a cached page's search).
  const uint8_t* entries_ = nullptr;   // the entry area, in copy_ or held_
  size_t prefixLength_ = 0;            // the shared prefix: the first bytes of entries_
  bool prepared_ = false;
  bool leaf_ = true;
  std::vector<uint64_t> heads_;   // prepareSearch(): key bytes after the prefix, big-endian
  std::vector<uint32_t> links_;   // prepareSearch(): each entry's child page, or (leaves) row id
  std::vector<uint16_t> ends_;         // end of each entry's stored bytes in entries_
  static constexpr size_t kInlinePrefix = 16;
  uint8_t prefixHead_[kInlinePrefix] = {};  // prepareSearch(): the prefix, when this short
  std::vector<uint8_t> copy_;          // the entry area, when the view keeps a copy
  PageRef held_;                       // the page, when the view reads it in place
  uint32_t number_ = 0;
  size_t trailer_ = kEntryRowIdSize;
  uint32_t previous_ = 0, next_ = 0, tail_ = 0, tableDefinition_ = 0;
  uint16_t freeSpace_ = 0;
};

}  // namespace jet
