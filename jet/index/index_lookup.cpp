// Seeks and scans of one index through the page cache.
#include "jet/index/index_lookup.h"

#include <algorithm>
#include <memory>

#include "jet/error.h"
#include "jet/index/key_encoder.h"

namespace jet {

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
