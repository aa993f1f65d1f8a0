// Reading a whole index: a cursor over its entries in key order (from the root down to the
// first leaf, then along the chain of leaves), key seeks, and a full structural check.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <unordered_set>
#include <vector>

#include "jet/format/types.h"
#include "jet/codec/index_page.h"
#include "jet/codec/index_page_view.h"

namespace jet {

// Supplies pages: the bytes of page `number` (a whole page), valid until the next call.
// Throws jet::Error for a page it cannot read.
using IndexPageFetcher = std::function<std::span<const uint8_t>(uint32_t number)>;

// Entries of one index in order. The cursor holds one decoded leaf page at a time.
class IndexEntryCursor {
 public:
  IndexEntryCursor(IndexPageFetcher fetch, Format format, uint32_t rootPage);

  // Moves to the first entry (on the first call) or the next one; false past the end.
  bool next();
  // Positions before the first entry whose key is not below `key` (compared as bytes, so a
  // key prefix finds the first entry starting with it); the next call to next() reads it.
  void seek(std::span<const uint8_t> key);

  // The entry read by the last successful next(): key valid until the cursor moves.
  std::span<const uint8_t> key() const { return key_; }
  RowId row() const { return row_; }

 private:
  void load(uint32_t page);
  IndexPageFetcher fetch_;
  Format format_;
  uint32_t root_;
  IndexPageView page_;
  bool started_ = false;
  bool loaded_ = false;
  size_t position_ = 0;  // next entry of page_ to read
  std::vector<uint8_t> key_;
  RowId row_;
  bool haveEntry_ = false;                    // key_ / row_ hold an entry (for loop checks)
  std::unordered_set<uint32_t> emptyLeaves_;  // empty leaves passed since the last entry
  std::vector<uint8_t> target_;
};

struct IndexTreeStats {
  uint64_t entries = 0;
  uint32_t leafPages = 0;
  uint32_t nodePages = 0;
  int levels = 0;  // 1 for a tree that is a single leaf
};

// Walks every page of the index under rootPage and checks what readers and writers rely
// on: page types, the free space each page records, entries in strictly increasing order
// across the whole index, every intermediate entry equal to the last entry of its child,
// all leaves at one depth, the leaf chain (previous / next) following key order, no page
// reached twice, and, when tableDefinitionPage is not 0, every page naming that table.
// Throws jet::Error (Corrupt) describing the first fault.
IndexTreeStats verifyIndexTree(const IndexPageFetcher& fetch, Format format, uint32_t rootPage,
                               uint32_t tableDefinitionPage = 0);

}  // namespace jet
