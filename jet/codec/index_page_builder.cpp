// Lays out index pages: header, entry map, prefix-compressed entries.
#include "jet/codec/index_page_builder.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/error.h"
#include "jet/codec/index_page.h"
#include "jet/util/bytes.h"

namespace jet {
namespace {

constexpr uint32_t kMaxRowPage = 0xFFFFFF;  // data page numbers in entries take 3 bytes

size_t trailerOf(bool leaf) { return kEntryRowIdSize + (leaf ? 0 : kEntryChildSize); }

}  // namespace

size_t sharedPrefixLength(std::span<const IndexPageEntryRef> entries, Format format) {
  if (entries.size() < 2) return 0;
  const auto& a = entries.front().key;
  const auto& b = entries.back().key;
  size_t n = 0;
  const size_t limit = std::min(a.size(), b.size());
  while (n < limit && a[n] == b[n]) ++n;
  const size_t fieldMax = indexPageLayout(format).prefixLengthSize == 1 ? 0xFF : 0xFFFF;
  return std::min(n, fieldMax);
}

size_t entryBytesOnPage(std::span<const IndexPageEntryRef> entries, bool leaf, Format format) {
  if (entries.empty()) return 0;
  const size_t prefix = sharedPrefixLength(entries, format);
  size_t total = 0;
  for (const auto& e : entries) total += e.key.size() + trailerOf(leaf);
  return total - prefix * (entries.size() - 1);
}

void buildIndexPage(const IndexPageHeader& header, std::span<const IndexPageEntryRef> entries, Format format,
                    std::span<uint8_t> page) {
  const IndexPageLayout& layout = indexPageLayout(format);
  if (page.size() != layout.pageSize) {
    throw Error(ErrorKind::Invalid, "index page buffer of " + std::to_string(page.size()) + " bytes, not " +
                                        std::to_string(layout.pageSize));
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].row.row > 0xFF) {
      throw Error(ErrorKind::Invalid, "index entry refers to row " + std::to_string(entries[i].row.row) +
                                          ", beyond what an entry can hold");
    }
    if (entries[i].row.page > kMaxRowPage) {
      throw Error(ErrorKind::Invalid, "index entry refers to data page " + std::to_string(entries[i].row.page) +
                                          ", beyond what an entry can hold");
    }
    if (i > 0 && compareIndexEntries(entries[i - 1].key, entries[i - 1].row, entries[i].key, entries[i].row) >= 0) {
      throw Error(ErrorKind::Invalid, "index page entries out of order at entry " + std::to_string(i));
    }
  }
  const size_t used = entryBytesOnPage(entries, header.leaf, format);
  if (used > layout.entryRoom()) {
    throw Error(ErrorKind::Invalid, "index entries of " + std::to_string(used) + " bytes do not fit on a page (room " +
                                        std::to_string(layout.entryRoom()) + ")");
  }

  std::fill(page.begin(), page.end(), uint8_t{0});
  uint8_t* p = page.data();
  p[0] = header.leaf ? kIndexLeafPage : kIndexNodePage;
  p[1] = kIndexPageMarker;
  put16(p + layout.freeSpace, static_cast<uint16_t>(layout.pageSize - layout.entries() - used));
  put32(p + layout.tableDefinition, header.tableDefinitionPage);
  put32(p + layout.previousPage, header.previousPage);
  put32(p + layout.nextPage, header.nextPage);
  put32(p + layout.tailPage, header.tailPage);
  const size_t prefix = sharedPrefixLength(entries, format);
  if (layout.prefixLengthSize == 2) {
    put16(p + layout.prefixLength, static_cast<uint16_t>(prefix));
  } else {
    p[layout.prefixLength] = static_cast<uint8_t>(prefix);
  }
  if (layout.nodeMark != kNoNodeMark) p[layout.nodeMark] = header.leaf ? 0 : 1;

  uint8_t* out = p + layout.entries();
  size_t at = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const IndexPageEntryRef& e = entries[i];
    const size_t skip = i == 0 ? 0 : prefix;  // never more than the key: the prefix is the keys' own
    if (e.key.size() > skip) std::memcpy(out + at, e.key.data() + skip, e.key.size() - skip);
    at += e.key.size() - skip;
    const uint8_t rowId[kEntryRowIdSize] = {static_cast<uint8_t>(e.row.page >> 16), static_cast<uint8_t>(e.row.page >> 8),
                                            static_cast<uint8_t>(e.row.page), static_cast<uint8_t>(e.row.row)};
    std::memcpy(out + at, rowId, kEntryRowIdSize);
    at += kEntryRowIdSize;
    if (!header.leaf) {
      for (size_t k = 0; k < kEntryChildSize; ++k) out[at++] = static_cast<uint8_t>(e.child >> (8 * (kEntryChildSize - 1 - k)));
    }
    p[layout.entryMap + at / 8] |= static_cast<uint8_t>(1u << (at % 8));
  }
}

}  // namespace jet
