// Database, Table and RowCursor: opening files, the catalog, table look-up and scans.
#include "jet/database.h"

#include <cctype>
#include <cstdio>
#include <optional>

#include "jet/codec/data_page_view.h"
#include "jet/data_rows.h"
#include "jet/database_impl.h"
#include "jet/format/data_page.h"
#include "jet/index/index_lookup.h"
#include "jet/index/index_page_cache.h"
#include "jet/pager/journal.h"
#include "jet/table_scan.h"
#include "jet/util/bytes.h"
#include "jet/util/names.h"
#include "jet/write/database_creator.h"
#include "jet/write/write_session.h"

namespace jet {

std::unique_ptr<DatabaseImpl> openDatabaseFile(const std::string& path, OpenMode mode, int lockWaitMs) {
  bool rolledBack = false;
  auto file = openSettled(path, mode == OpenMode::ReadOnly ? FileAccess::ReadOnly : FileAccess::ReadWrite, lockWaitMs,
                          &rolledBack);
  auto db = openDatabaseImpl(std::move(file), path, mode);
  db->pager().setLockWait(lockWaitMs);
  db->journalRolledBack = rolledBack;
  return db;
}

std::unique_ptr<DatabaseImpl> openDatabaseImpl(std::unique_ptr<File> file, std::string path, OpenMode mode) {
  // A reader holds the shared flush lock from the header to the end of the catalog (the
  // catalog's own read scope re-takes it and lets it go at its end; closing the file on a
  // failed open lets it go too).
  File& raw = *file;
  const bool reader = !raw.writable();
  if (reader) raw.lockFlush(FlushLock::Shared, 15000);
  HeaderInfo header;
  try {
    std::vector<uint8_t> first(static_cast<size_t>(std::min<uint64_t>(raw.size(), 4096)));
    raw.readAt(0, first.data(), first.size());
    header = decodeHeader(first);
  } catch (const Error& e) {
    if (reader) raw.unlockFlush();
    throw Error(e.kind(), path + ": " + e.what());
  } catch (...) {
    if (reader) raw.unlockFlush();
    throw;
  }
  try {
    return std::make_unique<DatabaseImpl>(std::move(file), path, mode, header, write::openWriteSession);
  } catch (const Error& e) {
    throw Error(e.kind(), path + ": " + e.what());
  }
}

std::unique_ptr<Database> Database::create(const std::string& path, Format format) {
  write::writeEmptyDatabaseFile(path, format);
  try {
    auto db = open(path, OpenMode::ReadWrite);
    write::addSystemRows(*db->impl_);
    db->flush();
    return db;
  } catch (...) {
    std::remove(path.c_str());
    throw;
  }
}

// --- RowCursor ------------------------------------------------------------------------------

struct RowCursor::State {
  State(TableImpl& t) : table(t), reading(std::in_place, t.db.pager()), scanner(t.db.pager(), t.info) {}
  TableImpl& table;
  // A scan of a file opened for reading holds the shared flush lock from its start to its
  // end, so it gives the rows of one state of the file.
  std::optional<Pager::ReadScope> reading;
  TableScanner scanner;
  Row row;
  RowId id;
  bool positioned = false;
};

RowCursor::RowCursor(std::unique_ptr<State> state) : state_(std::move(state)) {}
RowCursor::RowCursor(RowCursor&&) noexcept = default;
RowCursor& RowCursor::operator=(RowCursor&&) noexcept = default;
RowCursor::~RowCursor() = default;

bool RowCursor::next() {
  try {
    RowBytes bytes;
    if (!state_->scanner.next(bytes)) {
      state_->positioned = false;
      state_->reading.reset();
      return false;
    }
    state_->id = state_->scanner.current();
    state_->table.decoder.decode(bytes.data, bytes.size, bytes.id, state_->row);
    state_->positioned = true;
    return true;
  } catch (const Error& e) {
    throw withContext(e, state_->table.db.path, state_->table.info.def.name);
  }
}

RowId RowCursor::id() const { return state_->id; }
const Row& RowCursor::values() const { return state_->row; }

// --- Table ----------------------------------------------------------------------------------

const TableDef& Table::def() const { return impl_->info.def; }

RowCursor Table::scan() const {
  try {
    return RowCursor(std::make_unique<RowCursor::State>(*impl_));
  } catch (const Error& e) {
    throw withContext(e, db_->path, name());
  }
}

Row Table::read(RowId id) const {
  Pager& pager = db_->pager();
  Pager::ReadScope reading(pager);
  if (id.page == 0 || id.page >= pager.pageCount()) {
    throw Error(ErrorKind::NotFound, "table " + name() + " has no row on page " + std::to_string(id.page));
  }
  RowBytes bytes;
  PageRef page = pager.read(id.page);
  if (!codec::DataPageView(page->data(), static_cast<uint32_t>(page->size()), impl_->info.format)
           .belongsTo(impl_->info.def.definitionPage) ||
      id.row >= dataPageRowCount(*page, impl_->info.format) ||
      !readLiveRow(pager, impl_->info.format, id, bytes)) {
    throw Error(ErrorKind::NotFound, "table " + name() + " has no row " + std::to_string(id.row) + " on page " +
                                         std::to_string(id.page));
  }
  Row row;
  try {
    impl_->decoder.decode(bytes.data, bytes.size, bytes.id, row);
  } catch (const Error& e) {
    throw withContext(e, db_->path, name());
  }
  return row;
}

uint32_t Table::rowCount() const { return impl_->info.def.rowCount; }

// --- Database -------------------------------------------------------------------------------

Database::Database(std::unique_ptr<DatabaseImpl> impl) : impl_(std::move(impl)) {}

Database::~Database() {
  try {
    close();
  } catch (...) {
    // Destructors must not throw; close() reports the same failure to callers that ask.
  }
}

std::unique_ptr<Database> Database::open(const std::string& path, OpenMode mode, int lockWaitMs) {
  return std::unique_ptr<Database>(new Database(openDatabaseFile(path, mode, lockWaitMs)));
}

std::unique_ptr<Database> Database::adopt(std::unique_ptr<DatabaseImpl> impl) {
  return std::unique_ptr<Database>(new Database(std::move(impl)));
}

void Database::close() { impl_->close(); }

void Database::flush() {
  Pager& pager = impl_->pager();
  if (!pager.writable()) return;
  if (impl_->mode == OpenMode::ReadWrite) {
    impl_->writer().flush();
  } else {
    pager.flush();
  }
}

Format Database::format() const { return impl_->header.format; }
bool Database::writable() const { return impl_->mode == OpenMode::ReadWrite && impl_->isOpen(); }
uint16_t Database::codePage() const { return impl_->header.codePage; }
SortOrder Database::sortOrder() const { return impl_->header.sortOrder; }
const std::string& Database::path() const { return impl_->path; }

std::vector<std::string> Database::tableNames() const {
  std::vector<std::string> names;
  for (const auto& entry : impl_->userTables()) names.push_back(entry.name);
  return names;
}

Table Database::table(std::string_view name) const {
  const CatalogEntry* entry = impl_->findTable(name);
  if (!entry) throw Error(ErrorKind::NotFound, "no table named " + std::string(name) + " in " + impl_->path);
  return Table(impl_.get(), &impl_->table(*entry));
}

bool Database::hasTable(std::string_view name) const { return impl_->findTable(name) != nullptr; }

const std::vector<std::string>& Database::warnings() const { return impl_->warnings; }

void Database::setPageCacheLimit(size_t pages) { impl_->pager().setCacheLimit(pages); }

void Database::setLockWait(int ms) { impl_->pager().setLockWait(ms < 0 ? 0 : ms); }

}  // namespace jet
