// The write side of the index page format (jet/format/index_page.h): lays out a leaf or
// intermediate page from entries in index order, with the shared prefix left out of every
// entry after the first, the entry map, and the header. For the code that maintains indexes.
#pragma once

#include <cstdint>
#include <span>

#include "jet/format/types.h"
#include "jet/format/index_page.h"

namespace jet {

struct IndexPageEntryRef {
  std::span<const uint8_t> key;
  RowId row;
  uint32_t child = 0;  // intermediate pages only
};

struct IndexPageHeader {
  bool leaf = true;
  uint32_t tableDefinitionPage = 0;
  uint32_t previousPage = 0;  // leaves: the neighbours in key order (0 = none)
  uint32_t nextPage = 0;
  uint32_t tailPage = 0;      // intermediate pages: the last child, which has no entry
};

// The prefix a page of these entries shares: the bytes the keys of its first and last
// entries have in common (so every key between has them too), at most what the format's
// prefix length field holds.
size_t sharedPrefixLength(std::span<const IndexPageEntryRef> entries, Format format);

// Bytes the entries take on a page, prefix compressed; they fit when this is at most
// indexPageLayout(format).entryRoom().
size_t entryBytesOnPage(std::span<const IndexPageEntryRef> entries, bool leaf, Format format);

// Writes a whole page (page.size() must be the format's page size). Entries must be in
// strictly increasing order (key, then row id) and fit; row ids must fit their 3 + 1 bytes.
// Throws jet::Error (Invalid) otherwise, and leaves page untouched.
void buildIndexPage(const IndexPageHeader& header, std::span<const IndexPageEntryRef> entries, Format format,
                    std::span<uint8_t> page);

}  // namespace jet
