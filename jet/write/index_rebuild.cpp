// Rebuilding a table's indexes from its rows, and the unique-key checks before each write.
#include "jet/write/index_rebuild.h"

#include <algorithm>

#include "jet/error.h"
#include "jet/format/table_def.h"
#include "jet/index/index_page.h"
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

}  // namespace

IndexRebuild::IndexRebuild(WriteContext& ctx, TableInfo& info, const RowDecoder& decoder)
    : ctx_(ctx), info_(info), decoder_(decoder) {
  for (size_t r = 0; r < info_.realIndexes.size(); ++r) {
    const Index* index = describing(info_, r);
    if (!index) continue;
    const uint8_t flags = info_.realIndexes[r].flags;
    states_.push_back(IndexState{r, index, KeyEncoder(info_.def, *index, info_.format), (flags & td::kUnique) != 0,
                                 (flags & td::kIgnoreNulls) != 0, std::nullopt});
  }
}

void IndexRebuild::requireRebuildable() const {
  for (const IndexState& s : states_) {
    if (!s.encoder.writable()) throw Error(ErrorKind::Unsupported, s.encoder.unsupportedReason());
  }
}

std::set<KeyBytes>& IndexRebuild::keysOf(IndexState& state) {
  if (state.keys) return *state.keys;
  std::set<KeyBytes> keys;
  TableScanner scanner(ctx_.pager(), info_);
  RowBytes bytes;
  Row row;
  while (scanner.next(bytes)) {
    decoder_.decode(bytes.data, bytes.size, bytes.id, row);
    if (auto key = uniqueKey(state, row)) keys.insert(std::move(*key));
  }
  state.keys = std::move(keys);
  return *state.keys;
}

std::optional<KeyBytes> IndexRebuild::uniqueKey(const IndexState& state, const Row& row) const {
  // Rows whose key columns are all Null never clash.
  if (!state.unique || state.encoder.allNull(row)) return std::nullopt;
  KeyBytes key;
  state.encoder.encodeRow(row, key);
  return key;
}

void IndexRebuild::refuseDuplicate(const IndexState& state) const {
  throw Error(ErrorKind::Constraint, "duplicate key in index " + state.index->name + " of table " + info_.def.name);
}

void IndexRebuild::checkInsert(const Row& row) {
  requireRebuildable();
  for (IndexState& s : states_) {
    auto key = uniqueKey(s, row);
    if (key && keysOf(s).count(*key)) refuseDuplicate(s);
  }
}

void IndexRebuild::checkUpdate(RowId, const Row& oldRow, const Row& newRow) {
  requireRebuildable();
  for (IndexState& s : states_) {
    auto key = uniqueKey(s, newRow);
    if (!key || key == uniqueKey(s, oldRow)) continue;  // the row keeps its own key
    if (keysOf(s).count(*key)) refuseDuplicate(s);
  }
}

// The key sets follow each change; a change undone takes its keys back with it.
void IndexRebuild::addKeys(const Row& row) {
  for (IndexState& s : states_) {
    if (!s.keys) continue;
    auto key = uniqueKey(s, row);
    if (!key || !s.keys->insert(*key).second) continue;
    ctx_.onRollback([&s, k = *key] {
      if (s.keys) s.keys->erase(k);
    });
  }
}

void IndexRebuild::removeKeys(const Row& row) {
  for (IndexState& s : states_) {
    if (!s.keys) continue;
    auto key = uniqueKey(s, row);
    if (!key || s.keys->erase(*key) == 0) continue;
    ctx_.onRollback([&s, k = *key] {
      if (s.keys) s.keys->insert(k);
    });
  }
}

void IndexRebuild::onInsert(RowId, const Row& row) {
  requireRebuildable();
  addKeys(row);
  dirty_ = true;
}

void IndexRebuild::onUpdate(RowId, const Row& oldRow, const Row& newRow) {
  requireRebuildable();
  removeKeys(oldRow);
  addKeys(newRow);
  dirty_ = true;
}

void IndexRebuild::onRemove(RowId, const Row& oldRow) {
  requireRebuildable();
  removeKeys(oldRow);
  dirty_ = true;
}

void IndexRebuild::rebuild() {
  if (!dirty_) return;
  requireRebuildable();
  // Every live row once, decoded.
  std::vector<std::pair<RowId, Row>> rows;
  {
    TableScanner scanner(ctx_.pager(), info_);
    RowBytes bytes;
    while (scanner.next(bytes)) {
      Row row;
      decoder_.decode(bytes.data, bytes.size, bytes.id, row);
      rows.emplace_back(scanner.current(), std::move(row));
    }
  }
  inOperation(ctx_, [&] {
    for (const IndexState& s : states_) {
      std::vector<IndexTreeEntry> entries;
      entries.reserve(rows.size());
      for (const auto& [id, row] : rows) {
        if (s.ignoreNulls && s.encoder.allNull(row)) continue;
        IndexTreeEntry e{{}, id};
        s.encoder.encodeRow(row, e.key);
        entries.push_back(std::move(e));
      }
      std::sort(entries.begin(), entries.end(), [](const IndexTreeEntry& a, const IndexTreeEntry& b) {
        return compareIndexEntries(a.key, a.row, b.key, b.row) < 0;
      });
      const RealIndexInfo& real = info_.realIndexes[s.real];
      IndexTreeTarget target{real.firstPage, real.usedPages, info_.def.definitionPage,
                             "index " + s.index->name + " of table " + info_.def.name};
      writeIndexTree(ctx_, info_.format, target, entries);
      // The definition keeps each index's entry count.
      const uint32_t countAt = real.rowCountOffset + 4;
      TableInfo::Location loc = info_.locate(countAt, ctx_.blueprint().pageSize);
      put32(ctx_.modify(loc.page) + loc.offset, static_cast<uint32_t>(entries.size()));
    }
  });
  dirty_ = false;
}

}  // namespace jet::write
