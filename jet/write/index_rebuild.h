// Index upkeep by rebuilding: at each flush, every index of a changed table is written anew
// from the table's rows, sorted by their encoded keys, over as many pages as it needs.
// Unique indexes refuse a duplicate key before anything is written, through an in-memory
// hash set of their keys (read from the rows on first use); so does every index a key too
// long for its pages. A text index in a sort order the
// key encoder does not know refuses every write with an error naming the order. In a sort
// order whose keys are proven only for some characters, a new key with another character is
// refused before anything is written; a row Access wrote with such a key keeps the entry
// Access made for it (rows keep their ids), read from the index when it is rewritten.
#pragma once

#include <map>
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
  void onRowsReplaced() override;

  // Rewrites every index when rows changed since the last rebuild; a failure leaves the
  // pages as they were.
  void rebuild();
  // Has the next rebuild() write every index anew even when no row changed (an index laid
  // out again from the rows, e.g. after its pages were found wanting).
  void requestRewrite() { dirty_ = true; }

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
    std::optional<std::map<RowId, KeyBytes>> stored;  // the entries as read, when needed
    bool mayOutgrowPage = false;  // the columns can make a key longer than a page takes
  };
  IndexKeySet& keysOf(IndexState& state);
  // Puts the key the row has in the index into out; false when the row stays out of the
  // unique set (not a unique index, or every key column Null).
  bool uniqueKey(IndexState& state, const Row& row, RowId id, KeyBytes& out);
  void refuseDuplicate(const IndexState& state) const;
  void addKey(IndexState& state, const Row& row, RowId id);
  void removeKey(IndexState& state, const Row& row, RowId id);
  // Refuses when a key of the row holds a character the encoder cannot build.
  void requireProvenRow(const Row& row) const;
  // Refuses (Invalid, naming the index) a row whose key in some index would not fit an
  // index page: found before the row is written, not at the flush.
  void requireKeysFitPages(const Row& row, const Row* oldRow);
  // The key of row `id` in the index: built from the row, or, where the engine cannot build
  // it, the key the index already holds for the row (throws the encoder's error if none).
  void keyOf(IndexState& state, const Row& row, RowId id, KeyBytes& out);
  // The key the index holds for row id (read from its pages once), or null.
  const KeyBytes* storedKey(IndexState& state, RowId id);
  // Whether the rows differ in a column of the index (only then can its entry change).
  static bool keyChanged(const IndexState& state, const Row& oldRow, const Row& newRow);

  WriteContext& ctx_;
  TableInfo& info_;
  const RowDecoder& decoder_;
  std::vector<IndexState> states_;
  std::vector<bool> keyColumns_;  // the columns some index reads: the only ones decoded for keys
  bool dirty_ = false;
  bool provenOnly_ = false;  // some index builds text keys for proven characters only
  KeyBytes key_, otherKey_;  // reused from write to write
};

}  // namespace jet::write
