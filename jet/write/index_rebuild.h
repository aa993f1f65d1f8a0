// Index upkeep by rebuilding: at each flush, every index of a changed table is written anew
// from the table's rows, sorted by their encoded keys, over as many pages as it needs.
// Unique indexes refuse a duplicate key before anything is written, through an in-memory
// hash set of their keys (read from the rows on first use). A text index in a sort order the
// key encoder does not know refuses every write with an error naming the order.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "jet/index/key_encoder.h"
#include "jet/row_decoder.h"
#include "jet/table_info.h"
#include "jet/write/index_key_set.h"
#include "jet/write/index_maintainer.h"
#include "jet/write/write_context.h"

namespace jet::write {

class IndexRebuild : public IndexMaintainer {
 public:
  IndexRebuild(WriteContext& ctx, TableInfo& info, const RowDecoder& decoder);

  void checkInsert(const Row& row) override;
  void checkUpdate(RowId id, const Row& oldRow, const Row& newRow) override;
  void onInsert(RowId id, const Row& row) override;
  void onUpdate(RowId id, const Row& oldRow, const Row& newRow) override;
  void onRemove(RowId id, const Row& oldRow) override;

  // Rewrites every index when rows changed since the last rebuild; a failure leaves the
  // pages as they were.
  void rebuild();

  // Refuses (Unsupported) when an index cannot be written; nothing written.
  void requireRebuildable() const;

 private:
  struct IndexState {
    size_t real = 0;
    const Index* index = nullptr;
    KeyEncoder encoder;
    bool unique = false;
    bool ignoreNulls = false;
    std::optional<IndexKeySet> keys;  // unique indexes: the keys of all rows, once read
  };
  IndexKeySet& keysOf(IndexState& state);
  // Puts the key the row has in the index into out; false when the row stays out of the
  // unique set (not a unique index, or every key column Null).
  bool uniqueKey(const IndexState& state, const Row& row, KeyBytes& out) const;
  void refuseDuplicate(const IndexState& state) const;
  void addKey(IndexState& state, const Row& row);
  void removeKey(IndexState& state, const Row& row);
  // Whether the rows differ in a column of the index (only then can its entry change).
  static bool keyChanged(const IndexState& state, const Row& oldRow, const Row& newRow);

  WriteContext& ctx_;
  TableInfo& info_;
  const RowDecoder& decoder_;
  std::vector<IndexState> states_;
  std::vector<bool> keyColumns_;  // the columns some index reads: the only ones decoded for keys
  bool dirty_ = false;
  KeyBytes key_, otherKey_;  // reused from write to write
};

}  // namespace jet::write
