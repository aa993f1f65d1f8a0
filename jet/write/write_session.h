// Everything a database opened for writing keeps for its writes: the page context (undo,
// allocation, journalled flush), the long-value writer and one row writer per table written.
#pragma once

#include <functional>
#include <map>
#include <memory>

#include "jet/open_database.h"
#include "jet/write/index_maintainer.h"
#include "jet/write/index_rebuild.h"
#include "jet/write/long_value_writer.h"
#include "jet/write/table_writer.h"
#include "jet/write/write_context.h"

namespace jet::write {

class WriteSession : public WriteSessionHandle {
 public:
  explicit WriteSession(DatabaseImpl& db);

  WriteSession& session() override { return *this; }

  WriteContext& context() { return ctx_; }
  LongValueWriter& longValues() { return longValues_; }
  // The row writer of a table (made on first use, with index upkeep from the factory).
  TableWriter& writer(TableImpl& table);

  // Brings the indexes of a table written since the last flush up to date with its rows
  // (look-ups read the index pages; they would miss rows not yet in them).
  void updateIndexes(TableImpl& table);

  // Stores counters, then writes every change through the journal. A failed flush drops all
  // unwritten changes and reads the definitions of the tables written again.
  void flush() override;

  // Set by the index code: makes the index upkeep of a table (nullptr when it has none).
  using IndexFactory = std::function<std::unique_ptr<IndexMaintainer>(DatabaseImpl&, TableImpl&)>;
  static void setIndexFactory(IndexFactory factory);

 private:
  DatabaseImpl& db_;
  WriteContext ctx_;
  LongValueWriter longValues_;
  std::map<uint32_t, std::pair<TableImpl*, std::unique_ptr<TableWriter>>> writers_;
  std::map<uint32_t, IndexRebuild*> rebuilds_;  // by definition page; owned by the table writers
};

// The factory the opener hands DatabaseImpl: a new session on db.
std::unique_ptr<WriteSessionHandle> openWriteSession(DatabaseImpl& db);

}  // namespace jet::write
