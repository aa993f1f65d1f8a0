// The per-database write state and its flush.
#include "jet/write/write_session.h"

#include "jet/open_database.h"
#include "jet/format/table_def.h"
#include "jet/table_scan.h"
#include "jet/write/claimed_pages.h"

namespace jet::write {
namespace {
WriteSession::IndexFactory& indexFactory() {
  static WriteSession::IndexFactory factory;
  return factory;
}
}  // namespace

void WriteSession::setIndexFactory(IndexFactory factory) { indexFactory() = std::move(factory); }

WriteSession::WriteSession(DatabaseImpl& db)
    : db_(db),
      ctx_(db.pager(), db.header.format),
      longValues_(ctx_) {
  // Pages Access left free in the page map while a table still names them stay untouched.
  ctx_.setClaimedPagesSource([this] { return claimedPages(db_); });
  ctx_.addBeforeFlush([this] {
    for (auto& [page, rebuild] : rebuilds_) rebuild->rebuild();
    for (auto& [page, entry] : writers_) entry.second->storeCounters();
  });
  ctx_.addAfterDiscard([this] {
    // The pages went back to what the file holds: so must the decoded definitions.
    for (auto& [page, entry] : writers_) {
      TableImpl& table = *entry.first;
      try {
        table.forgetIndexLookups();
        table.info = readTableInfo(db_.pager(), db_.header.format, table.info.def.definitionPage,
                                   table.info.def.name, db_.header.codePage, nullptr);
      } catch (const Error&) {
        // A table created since the last flush is gone with the dropped pages.
        table.info.def.rowCount = 0;
      }
    }
    writers_.clear();
    rebuilds_.clear();
    longValues_.reset();
  });
}

TableWriter& WriteSession::writer(TableImpl& table) {
  uint32_t page = table.info.def.definitionPage;
  auto it = writers_.find(page);
  if (it != writers_.end()) return *it->second.second;
  auto w = std::make_unique<TableWriter>(ctx_, longValues_, table.info, table.decoder);
  // The first write to a table sets its row count right, should it have drifted.
  {
    TableScanner scanner(ctx_.pager(), table.info);
    RowBytes bytes;
    uint32_t rows = 0;
    while (scanner.next(bytes)) ++rows;
    w->settleRowCount(rows);
  }
  bool indexed = !table.info.realIndexes.empty() || !table.info.logicalIndexes.empty();
  if (indexed && indexFactory()) {
    w->setIndexMaintainer(indexFactory()(db_, table));
  } else if (indexed) {
    // Indexes are rebuilt from the table's rows at each flush.
    auto rebuild = std::make_unique<IndexRebuild>(ctx_, table.info, table.decoder);
    rebuilds_[page] = rebuild.get();
    w->setIndexMaintainer(std::move(rebuild));
  }
  TableWriter& ref = *w;
  writers_[page] = {&table, std::move(w)};
  return ref;
}

void WriteSession::updateIndexes(TableImpl& table) {
  auto it = rebuilds_.find(table.info.def.definitionPage);
  if (it != rebuilds_.end()) it->second->rebuild();
}

void WriteSession::flush() { ctx_.flush(); }

std::unique_ptr<WriteSessionHandle> openWriteSession(DatabaseImpl& db) { return std::make_unique<WriteSession>(db); }

}  // namespace jet::write
