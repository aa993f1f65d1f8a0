// Index upkeep by rebuilding: before each flush, every index of the table is written anew
// from the table's rows into its root page. It serves the small system tables the writer
// changes (the catalog and its access entries); an index that needs more than one page is
// refused with a clear error, leaving the file as it was.
#pragma once

#include <memory>

#include "jet/row_decoder.h"
#include "jet/table_info.h"
#include "jet/write/index_maintainer.h"
#include "jet/write/write_context.h"

namespace jet::write {

class IndexRebuild : public IndexMaintainer {
 public:
  IndexRebuild(WriteContext& ctx, TableInfo& info, const RowDecoder& decoder);

  void checkInsert(const Row& row) override;
  void checkUpdate(RowId id, const Row& oldRow, const Row& newRow) override;
  void onInsert(RowId, const Row&) override { dirty_ = true; }
  void onUpdate(RowId, const Row&, const Row&) override { dirty_ = true; }
  void onRemove(RowId, const Row&) override { dirty_ = true; }

  // Rewrites every index when rows changed since the last rebuild.
  void rebuild();

  // Refuses (Unsupported) when an index cannot be rebuilt in its root page; nothing written.
  void requireRebuildable() const;

 private:
  void checkUnique(const Row& row, const RowId* self);

  WriteContext& ctx_;
  TableInfo& info_;
  const RowDecoder& decoder_;
  bool dirty_ = false;
};

}  // namespace jet::write
