// One decoded index page: header fields and its entries with prefixes restored.
// The read side of the index page format (index_page_format.h); the page bytes are only
// looked at during decode(), so callers may reuse their page buffer afterwards.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jet/database.h"
#include "jet/index/index_page_format.h"

namespace jet {

struct IndexEntry {
  std::span<const uint8_t> key;  // valid while the IndexPage lives and is not re-decoded
  RowId row;
  uint32_t child = 0;  // intermediate pages: the page this entry leads to
};

class IndexPage {
 public:
  // Decodes page `number` from its bytes (the whole page). Checks the type, every length
  // and offset against the page, and throws jet::Error (Corrupt) naming the page if
  // anything cannot be what Access writes. Reuses this object's memory.
  void decode(std::span<const uint8_t> page, uint32_t number, Format format);

  uint32_t number() const { return number_; }
  bool leaf() const { return leaf_; }
  uint32_t previousPage() const { return previous_; }
  uint32_t nextPage() const { return next_; }
  uint32_t tailPage() const { return tail_; }
  uint32_t tableDefinitionPage() const { return tableDefinition_; }
  uint16_t freeSpace() const { return freeSpace_; }
  // Bytes the entries take on the page (after prefix compression).
  size_t usedEntryBytes() const { return used_; }
  // The bytes every entry after the first shares with the first (may reach into its row id).
  std::span<const uint8_t> prefix() const { return prefix_; }

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  IndexEntry entry(size_t i) const;

 private:
  struct Slot {
    uint32_t keyOffset;
    uint32_t keyLength;
    RowId row;
    uint32_t child;
  };
  uint32_t number_ = 0;
  bool leaf_ = true;
  uint32_t previous_ = 0, next_ = 0, tail_ = 0, tableDefinition_ = 0;
  uint16_t freeSpace_ = 0;
  size_t used_ = 0;
  std::vector<uint8_t> prefix_;
  std::vector<uint8_t> keys_;  // every entry's key, whole, back to back
  std::vector<Slot> entries_;
};

// Orders two entries as an index does: key bytes (unsigned), then row id.
int compareIndexEntries(std::span<const uint8_t> keyA, RowId rowA, std::span<const uint8_t> keyB, RowId rowB);

}  // namespace jet
