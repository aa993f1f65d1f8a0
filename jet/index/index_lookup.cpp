// Seeks and scans of one index through the page cache.
#include "jet/index/index_lookup.h"

#include <algorithm>
#include <memory>
#include <string>

#include "jet/error.h"
#include "jet/index/key_encoder.h"

namespace jet {
namespace {

// Deeper trees cannot occur with pages of thousands of bytes; a deeper walk means a loop.
constexpr int kMaxLevels = 32;

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a == b) return true;
  return std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

}  // namespace

const IndexLookup& TableIndexLookups::find(const TableInfo& info, std::string_view name) {
  for (const auto& lookup : lookups_) {
    if (sameName(lookup->index.name, name)) return *lookup;
  }
  for (size_t i = 0; i < info.def.indexes.size(); ++i) {
    if (!sameName(info.def.indexes[i].name, name)) continue;
    Index index = info.def.indexes[i];
    if (index.firstPage == 0 && i < info.logicalIndexes.size() &&
        info.logicalIndexes[i].realIndex < info.realIndexes.size()) {
      index.firstPage = info.realIndexes[info.logicalIndexes[i].realIndex].firstPage;
    }
    KeyEncoder encoder(info.def, index, info.format);
    lookups_.push_back(std::make_unique<IndexLookup>(IndexLookup{std::move(index), std::move(encoder)}));
    return *lookups_.back();
  }
  throw Error(ErrorKind::NotFound, "table " + info.def.name + " has no index " + std::string(name));
}

IndexPageFetcher pagerPages(Pager& pager) {
  auto held = std::make_shared<PageRef>();
  return [&pager, held](uint32_t number) -> std::span<const uint8_t> {
    *held = pager.read(number);
    return std::span<const uint8_t>((*held)->bytes);
  };
}

IndexEntryCursor scanIndex(Pager& pager, Format format, const Index& index) {
  if (index.firstPage == 0) {
    throw Error(ErrorKind::NotFound, "index " + index.name + " has no pages of its own");
  }
  return IndexEntryCursor(pagerPages(pager), format, index.firstPage);
}

std::optional<RowId> seekIndex(Pager& pager, Format format, const TableDef& table, const Index& index,
                               const Row& key) {
  return seekIndex(pager, format, KeyEncoder(table, index, format), index, key);
}

std::optional<RowId> seekIndex(Pager& pager, Format format, const KeyEncoder& encoder, const Index& index,
                               const Row& key) {
  KeyBytes wanted;
  encoder.encodeKey(key, wanted);
  IndexEntryCursor cursor = scanIndex(pager, format, index);
  cursor.seek(wanted);
  if (!cursor.next()) return std::nullopt;
  const auto found = cursor.key();
  if (found.size() < wanted.size() || !std::equal(wanted.begin(), wanted.end(), found.begin())) return std::nullopt;
  // A full key must match the whole entry; a shorter key only its leading fields.
  if (key.size() == encoder.columns().size() && found.size() != wanted.size()) return std::nullopt;
  return cursor.row();
}

}  // namespace jet

namespace jet {

std::optional<RowId> seekIndex(IndexPageCache& pages, const IndexLookup& lookup, const Row& key, KeyBytes& wanted) {
  const Index& index = lookup.index;
  if (index.firstPage == 0) throw Error(ErrorKind::NotFound, "index " + index.name + " has no pages of its own");
  wanted.clear();
  lookup.encoder.encodeKey(key, wanted);
  const bool whole = key.size() == lookup.encoder.columns().size();
  uint32_t number = index.firstPage;
  for (int level = 0; level < kMaxLevels; ++level) {
    const IndexPageView& page = pages.page(number);
    const size_t i = page.lowerBound(wanted);
    if (page.leaf()) {
      // In a sound tree the leaf reached holds the first entry not below the key; when it
      // does not (its entries all sort before the key), the cursor walks on along the leaves.
      if (i == page.size()) {
        if (page.nextPage() == 0) return std::nullopt;  // the last leaf: every key sorts before
        break;
      }
      if (whole ? page.compareKey(i, wanted) != 0 : !page.keyStartsWith(i, wanted)) return std::nullopt;
      return page.rowId(i);
    }
    // An intermediate entry is the last entry of its child: the first child whose last key
    // is not below the key holds the first entry with it.
    if (i < page.size()) {
      number = page.child(i);
    } else if (page.tailPage() != 0) {
      number = page.tailPage();
    } else {
      return std::nullopt;  // every key sorts before this one
    }
  }
  return seekIndex(pages.pager(), pages.format(), lookup.encoder, index, key);
}

}  // namespace jet
