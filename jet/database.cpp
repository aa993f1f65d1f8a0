// Database, Table and RowCursor: opening files, the catalog, table look-up and scans.
#include "jet/database.h"

#include <cctype>
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
#include "jet/write/write_session.h"

namespace jet {

// --- TableImpl / DatabaseImpl ---------------------------------------------------------------

TableImpl::TableImpl(DatabaseImpl& database, TableInfo tableInfo)
    : db(database), info(std::move(tableInfo)), decoder(info, database.pager(), database.header.codePage) {}

TableImpl::~TableImpl() = default;

TableIndexLookups& TableImpl::indexLookups() {
  if (!lookups_) lookups_ = std::make_unique<TableIndexLookups>();
  return *lookups_;
}

void TableImpl::forgetIndexLookups() { lookups_.reset(); }

DatabaseImpl::DatabaseImpl(std::unique_ptr<File> file, std::string filePath, OpenMode openMode, HeaderInfo hdr)
    : path(std::move(filePath)), mode(openMode), header(hdr), file_(std::move(file)) {
  pager_ = std::make_unique<Pager>(*file_, header.pageSize);
  if (!path.empty()) pager_->setJournal(Journal(Journal::pathFor(path)));
  Pager::ReadScope scope(*pager_);
  catalog = readCatalogInfo(*pager_, header.format, header.codePage);
  userTables_ = readUserTables(*pager_, catalog, header.codePage);
}

DatabaseImpl::~DatabaseImpl() = default;

write::WriteSession& DatabaseImpl::writer() {
  if (mode != OpenMode::ReadWrite) throw Error(ErrorKind::ReadOnly, path + " is open for reading only");
  if (!writer_) writer_ = std::make_unique<write::WriteSession>(*this);
  return *writer_;
}

IndexPageCache& DatabaseImpl::indexPages() {
  if (!indexPages_) indexPages_ = std::make_unique<IndexPageCache>(pager(), header.format);
  return *indexPages_;
}

Pager& DatabaseImpl::pager() {
  if (!pager_) throw Error(ErrorKind::Io, path + ": the database is closed");
  return *pager_;
}

void DatabaseImpl::close() {
  if (!pager_) return;
  if (writer_) {
    writer_->flush();
  } else if (file_->writable()) {
    pager_->flush();
  }
  writer_.reset();
  tables_.clear();
  indexPages_.reset();
  pager_.reset();
  file_.reset();
}

namespace {

}  // namespace

Error withContext(const Error& e, const std::string& path, const std::string& table) {
  std::string message = e.what();
  if (!table.empty() && message.compare(0, 6, "table ") != 0) message = "table " + table + ": " + message;
  if (message.compare(0, path.size(), path) != 0) message = path + ": " + message;
  return Error(e.kind(), message);
}

const CatalogEntry* DatabaseImpl::findTable(std::string_view name) const {
  for (const auto& entry : userTables_) {
    if (equalsIgnoreCase(entry.name, name)) return &entry;
  }
  return nullptr;
}

TableImpl& DatabaseImpl::table(const CatalogEntry& entry) {
  auto it = tables_.find(entry.definitionPage);
  if (it != tables_.end()) return *it->second;
  TableInfo info;
  try {
    Pager::ReadScope scope(pager());
    info = readTableInfo(pager(), header.format, entry.definitionPage, entry.name, header.codePage, &warnings);
  } catch (const Error& e) {
    throw withContext(e, path, "");
  }
  auto impl = std::make_unique<TableImpl>(*this, std::move(info));
  TableImpl& ref = *impl;
  tables_[entry.definitionPage] = std::move(impl);
  return ref;
}

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
    return std::make_unique<DatabaseImpl>(std::move(file), path, mode, header);
  } catch (const Error& e) {
    throw Error(e.kind(), path + ": " + e.what());
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

}  // namespace jet
