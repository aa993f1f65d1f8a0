// One decoded index page: header fields and its entries with prefixes restored.
// The read side of the index page format (jet/format/index_page.h); the page bytes are only
// looked at during decode(), so callers may reuse their page buffer afterwards.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jet/format/types.h"
#include "jet/format/index_page.h"
#include "jet/codec/index_page_view.h"

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

  uint32_t number() const { return view_.number(); }
  bool leaf() const { return view_.leaf(); }
  uint32_t previousPage() const { return view_.previousPage(); }
  uint32_t nextPage() const { return view_.nextPage(); }
  uint32_t tailPage() const { return view_.tailPage(); }
  uint32_t tableDefinitionPage() const { return view_.tableDefinitionPage(); }
  uint16_t freeSpace() const { return view_.freeSpace(); }
  // Bytes the entries take on the page (after prefix compression).
  size_t usedEntryBytes() const { return view_.usedEntryBytes(); }
  // The bytes every entry after the first shares with the first (may reach into its row id).
  std::span<const uint8_t> prefix() const { return view_.prefix(); }

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
  IndexPageView view_;
  std::vector<uint8_t> keys_;  // every entry's key, whole, back to back
  std::vector<Slot> entries_;
};

// Orders two entries as an index does: key bytes (unsigned), then row id.
int compareIndexEntries(std::span<const uint8_t> keyA, RowId rowA, std::span<const uint8_t> keyB, RowId rowB);

}  // namespace jet
