// Index look-ups of the public API: seeking the first row of a key and walking an index in
// key order, through the page cache (so changes not yet flushed are seen).
#include <algorithm>
#include <cctype>

#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/index/index_lookup.h"

namespace jet {
namespace {

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The named index (names compare as Access compares them, ASCII case ignored), with its
// pages: an index that shares another's pages (a foreign key's) gets that one's root.
Index findIndex(const TableInfo& info, std::string_view name) {
  for (size_t i = 0; i < info.def.indexes.size(); ++i) {
    if (!sameName(info.def.indexes[i].name, name)) continue;
    Index index = info.def.indexes[i];
    if (index.firstPage == 0 && i < info.logicalIndexes.size() &&
        info.logicalIndexes[i].realIndex < info.realIndexes.size()) {
      index.firstPage = info.realIndexes[info.logicalIndexes[i].realIndex].firstPage;
    }
    return index;
  }
  throw Error(ErrorKind::NotFound, "table " + info.def.name + " has no index " + std::string(name));
}

}  // namespace

std::optional<RowId> Table::seek(std::string_view indexName, const Row& key) const {
  const Index index = findIndex(impl_->info, indexName);
  if (key.size() > index.columns.size()) {
    throw Error(ErrorKind::Invalid, "index " + index.name + " has " + std::to_string(index.columns.size()) +
                                        " columns, the key has " + std::to_string(key.size()) + " values");
  }
  return seekIndex(db_->pager(), impl_->info.format, impl_->info.def, index, key);
}

struct IndexCursor::State {
  IndexEntryCursor entries;
  bool positioned = false;
};

IndexCursor Table::indexScan(std::string_view indexName) const {
  const Index index = findIndex(impl_->info, indexName);
  return IndexCursor(std::make_unique<IndexCursor::State>(
      IndexCursor::State{scanIndex(db_->pager(), impl_->info.format, index), false}));
}

IndexCursor::IndexCursor(std::unique_ptr<State> state) : state_(std::move(state)) {}
IndexCursor::IndexCursor(IndexCursor&&) noexcept = default;
IndexCursor& IndexCursor::operator=(IndexCursor&&) noexcept = default;
IndexCursor::~IndexCursor() = default;

bool IndexCursor::next() {
  state_->positioned = state_->entries.next();
  return state_->positioned;
}

RowId IndexCursor::id() const {
  if (!state_->positioned) throw Error(ErrorKind::Invalid, "the index cursor is not on an entry");
  return state_->entries.row();
}

}  // namespace jet
