// Rebuilding a table's indexes from its rows, and the unique-key checks before each write.
#include "jet/write/index_rebuild.h"

#include <algorithm>
#include <map>

#include "jet/error.h"
#include "jet/format/table_def.h"
#include "jet/index/index_entry_list.h"
#include "jet/codec/index_page.h"
#include "jet/index/index_lookup.h"
#include "jet/index/index_tree.h"
#include "jet/index/text_key.h"
#include "jet/table_scan.h"
#include "jet/util/bytes.h"
#include "jet/write/index_tree_writer.h"

namespace jet::write {
namespace td = format::tabledef;

namespace {

// The logical index that describes real index r (its name, columns and sort orders).
const Index* describing(const TableInfo& info, size_t real) {
  for (size_t i = 0; i < info.logicalIndexes.size() && i < info.def.indexes.size(); ++i) {
    if (info.logicalIndexes[i].realIndex == real) return &info.def.indexes[i];
  }
  return nullptr;
}

// Bytes the longest key of the index can take: an upper bound from the columns' kinds and
// sizes (text keys take at most kMaxTextKeyUnits characters).
size_t longestKey(const TableDef& def, const Index& index, Format format) {
  size_t total = 0;
  for (const IndexColumn& ic : index.columns) {
    if (ic.column < 0 || static_cast<size_t>(ic.column) >= def.columns.size()) continue;
    const Column& c = def.columns[static_cast<size_t>(ic.column)];
    size_t units = c.kind == ColumnKind::Memo || c.size == 0 ? kMaxTextKeyUnits
                                                              : static_cast<size_t>(c.textLength(format == Format::Jet4));
    units = std::min(units, kMaxTextKeyUnits);
    const size_t binary = c.size == 0 ? 255 : c.size;
    switch (c.kind) {
      case ColumnKind::Text:
      case ColumnKind::Memo:
        // Jet 3: up to two inline bytes and an accent code per character; Jet 4: up to four
        // inline bytes, two extra, a flag and an unprintable code per character.
        total += 8 + units * (format == Format::Jet3 ? 3 : 12);
        break;
      case ColumnKind::Binary:
      case ColumnKind::OLE:
        total += 1 + (binary / 8 + 1) * 9;
        break;
      default:
        total += 20;  // a start flag and at most 17 bytes (Decimal), a GUID's 18
        break;
    }
  }
  return total;
}

// The most bytes a key may take: every key must fit an intermediate entry (key, row id,
// child page) on a page of its own.
size_t keyRoom(Format format) { return indexPageLayout(format).entryRoom() - kEntryRowIdSize - kEntryChildSize; }

}  // namespace

IndexRebuild::IndexRebuild(WriteContext& ctx, TableInfo& info, const RowDecoder& decoder)
    : ctx_(ctx), info_(info), decoder_(decoder) {
  for (size_t r = 0; r < info_.realIndexes.size(); ++r) {
    const Index* index = describing(info_, r);
    if (!index) continue;
    const uint8_t flags = info_.realIndexes[r].flags;
    states_.push_back(IndexState{r, index, KeyEncoder(info_.def, *index, info_.format), (flags & td::kUnique) != 0,
                                 (flags & td::kIgnoreNulls) != 0, std::nullopt, std::nullopt,
                                 longestKey(info_.def, *index, info_.format) > keyRoom(info_.format)});
  }
  keyColumns_.assign(info_.def.columns.size(), false);
  for (const IndexState& s : states_) {
    if (s.encoder.provenOnly()) provenOnly_ = true;
    for (int position : s.encoder.rowPositions()) {
      if (position >= 0 && static_cast<size_t>(position) < keyColumns_.size()) keyColumns_[position] = true;
    }
  }
}

bool IndexRebuild::keyChanged(const IndexState& state, const Row& oldRow, const Row& newRow) {
  for (int position : state.encoder.rowPositions()) {
    const auto p = static_cast<size_t>(position);
    if (position < 0 || p >= oldRow.size() || p >= newRow.size() || !(oldRow[p] == newRow[p])) return true;
  }
  return false;
}

void IndexRebuild::requireRebuildable() const {
  for (const IndexState& s : states_) {
    if (!s.encoder.writable()) throw Error(ErrorKind::Unsupported, s.encoder.unsupportedReason());
  }
}

void IndexRebuild::requireProvenRow(const Row& row) const {
  if (!provenOnly_) return;
  for (const IndexState& s : states_) s.encoder.requireProvenRow(row);
}

const KeyBytes* IndexRebuild::storedKey(IndexState& state, RowId id) {
  if (!state.stored) {
    std::map<RowId, KeyBytes> stored;
    const uint32_t root = info_.realIndexes[state.real].firstPage;
    if (root != 0) {
      IndexEntryCursor cursor(pagerPages(ctx_.pager()), info_.format, root);
      while (cursor.next()) stored.emplace(cursor.row(), KeyBytes(cursor.key().begin(), cursor.key().end()));
    }
    state.stored = std::move(stored);
  }
  auto it = state.stored->find(id);
  return it == state.stored->end() ? nullptr : &it->second;
}

void IndexRebuild::keyOf(IndexState& state, const Row& row, RowId id, KeyBytes& out) {
  out.clear();
  try {
    state.encoder.encodeRow(row, out);
  } catch (const Error& e) {
    // A key the engine cannot build in the index's sort order (a row Access wrote): the
    // entry Access made for the row stays as it is. Rows never get such a key from here.
    if (!state.encoder.provenOnly() || e.kind() != ErrorKind::Unsupported) throw;
    const KeyBytes* stored = storedKey(state, id);
    if (!stored) throw;
    out = *stored;
  }
}

IndexKeySet& IndexRebuild::keysOf(IndexState& state) {
  if (state.keys) return *state.keys;
  IndexKeySet keys;
  keys.reserve(info_.def.rowCount);
  TableScanner scanner(ctx_.pager(), info_);
  RowBytes bytes;
  Row row;
  KeyBytes key;  // the callers' key is in key_
  while (scanner.next(bytes)) {
    decoder_.decode(bytes.data, bytes.size, bytes.id, row, keyColumns_);
    if (uniqueKey(state, row, scanner.current(), key)) keys.insert(key);
  }
  state.keys = std::move(keys);
  return *state.keys;
}

bool IndexRebuild::uniqueKey(IndexState& state, const Row& row, RowId id, KeyBytes& out) {
  // Rows whose key columns are all Null never clash.
  if (!state.unique || state.encoder.allNull(row)) return false;
  keyOf(state, row, id, out);
  return true;
}

void IndexRebuild::refuseDuplicate(const IndexState& state) const {
  throw Error(ErrorKind::Constraint, "duplicate key in index " + state.index->name + " of table " + info_.def.name);
}

void IndexRebuild::requireKeysFitPages(const Row& row, const Row* oldRow) {
  const size_t room = keyRoom(info_.format);
  for (IndexState& s : states_) {
    if (!s.mayOutgrowPage || (oldRow && !keyChanged(s, *oldRow, row))) continue;
    if (s.ignoreNulls && s.encoder.allNull(row)) continue;
    key_.clear();
    s.encoder.encodeRow(row, key_);
    if (key_.size() > room) {
      throw Error(ErrorKind::Invalid, "index " + s.index->name + " of table " + info_.def.name + ": the row's key of " +
                                          std::to_string(key_.size()) + " bytes is longer than an index page takes (" +
                                          std::to_string(room) + " bytes)");
    }
  }
}

void IndexRebuild::checkInsert(const Row& row) {
  requireRebuildable();
  requireProvenRow(row);
  requireKeysFitPages(row, nullptr);
  for (IndexState& s : states_) {
    if (uniqueKey(s, row, RowId{}, key_) && keysOf(s).contains(key_)) refuseDuplicate(s);
  }
}

void IndexRebuild::checkUpdate(RowId id, const Row& oldRow, const Row& newRow) {
  requireRebuildable();
  requireKeysFitPages(newRow, &oldRow);
  for (IndexState& s : states_) {
    if (!keyChanged(s, oldRow, newRow)) continue;
    s.encoder.requireProvenRow(newRow);  // a new key must be one the engine can build
    if (!uniqueKey(s, newRow, id, key_)) continue;
    if (uniqueKey(s, oldRow, id, otherKey_) && otherKey_ == key_) continue;  // the row keeps its own key
    if (keysOf(s).contains(key_)) refuseDuplicate(s);
  }
}

// The key sets follow each change; a change undone takes its keys back with it.
void IndexRebuild::addKey(IndexState& s, const Row& row, RowId id) {
  if (!s.keys || !uniqueKey(s, row, id, key_) || !s.keys->insert(key_)) return;
  ctx_.onRollback([&s, k = key_] {
    if (s.keys) s.keys->erase(k);
  });
}

void IndexRebuild::removeKey(IndexState& s, const Row& row, RowId id) {
  if (!s.keys || !uniqueKey(s, row, id, key_) || !s.keys->erase(key_)) return;
  ctx_.onRollback([&s, k = key_] {
    if (s.keys) s.keys->insert(k);
  });
}

void IndexRebuild::onInsert(RowId id, const Row& row) {
  requireRebuildable();
  for (IndexState& s : states_) addKey(s, row, id);
  dirty_ = true;
}

void IndexRebuild::onUpdate(RowId id, const Row& oldRow, const Row& newRow) {
  requireRebuildable();
  // An updated row keeps its id (a row that outgrows its place is reached through a forward
  // pointer left there), so only an index whose columns changed has an entry to change.
  for (IndexState& s : states_) {
    if (!keyChanged(s, oldRow, newRow)) continue;
    removeKey(s, oldRow, id);
    addKey(s, newRow, id);
    dirty_ = true;
  }
}

void IndexRebuild::onRemove(RowId id, const Row& oldRow) {
  requireRebuildable();
  for (IndexState& s : states_) removeKey(s, oldRow, id);
  dirty_ = true;
}

void IndexRebuild::onRowsReplaced() {
  requireRebuildable();
  // The key sets are read from the rows again on first use; undoing this needs nothing back.
  for (IndexState& s : states_) s.keys.reset();
  dirty_ = true;
}

void IndexRebuild::rebuild() {
  if (!dirty_) return;
  requireRebuildable();
  // Every live row once, decoded, its key in each index encoded.
  std::vector<IndexEntryList> lists(states_.size());
  for (IndexEntryList& list : lists) list.reserve(info_.def.rowCount);
  {
    TableScanner scanner(ctx_.pager(), info_);
    RowBytes bytes;
    Row row;
    while (scanner.next(bytes)) {
      decoder_.decode(bytes.data, bytes.size, bytes.id, row, keyColumns_);
      for (size_t i = 0; i < states_.size(); ++i) {
        IndexState& s = states_[i];
        if (s.ignoreNulls && s.encoder.allNull(row)) continue;
        keyOf(s, row, scanner.current(), key_);
        lists[i].add(key_, scanner.current());
      }
    }
  }
  inOperation(ctx_, [&] {
    for (size_t i = 0; i < states_.size(); ++i) {
      const IndexState& s = states_[i];
      IndexEntryList& list = lists[i];
      list.sort();
      std::vector<IndexPageEntryRef> refs;
      refs.reserve(list.size());
      for (size_t e = 0; e < list.size(); ++e) refs.push_back(IndexPageEntryRef{list.key(e), list.row(e), 0});
      const RealIndexInfo& real = info_.realIndexes[s.real];
      IndexTreeTarget target{real.firstPage, real.usedPages, info_.def.definitionPage,
                             "index " + s.index->name + " of table " + info_.def.name};
      writeIndexTree(ctx_, info_.format, target, refs);
      // The definition keeps the number of distinct keys in each index (as Access's compacting
      // leaves it; Access itself only ever counts it up).
      TableInfo::Location loc = info_.locate(real.distinctKeysOffset, ctx_.blueprint().pageSize);
      put32(ctx_.modify(loc.page) + loc.offset, static_cast<uint32_t>(list.distinctKeys()));
      list.clear();  // before the next index's pages are laid out
    }
  });
  dirty_ = false;
}

}  // namespace jet::write
