// Index look-ups of the public API: seeking the first row of a key and walking an index in
// key order, through the page cache. Indexes changed by writes not yet flushed are brought
// up to date first, so a look-up sees every row written.
#include <algorithm>
#include <cctype>

#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/index/index_lookup.h"
#include "jet/write/write_session.h"

namespace jet {

std::optional<RowId> Table::seek(std::string_view indexName, const Row& key) const {
  Pager::ReadScope reading(db_->pager());
  if (write::WriteSession* session = db_->writerIfAny()) session->updateIndexes(*impl_);
  TableIndexLookups& lookups = impl_->indexLookups();
  const IndexLookup& lookup = lookups.find(impl_->info, indexName);
  if (key.size() > lookup.index.columns.size()) {
    throw Error(ErrorKind::Invalid, "index " + lookup.index.name + " has " + std::to_string(lookup.index.columns.size()) +
                                        " columns, the key has " + std::to_string(key.size()) + " values");
  }
  return seekIndex(db_->indexPages(), lookup, key, lookups.scratch);
}

struct IndexCursor::State {
  IndexEntryCursor entries;
  bool positioned = false;
};

IndexCursor Table::indexScan(std::string_view indexName) const {
  Pager::ReadScope reading(db_->pager());
  if (write::WriteSession* session = db_->writerIfAny()) session->updateIndexes(*impl_);
  const Index& index = impl_->indexLookups().find(impl_->info, indexName).index;
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
