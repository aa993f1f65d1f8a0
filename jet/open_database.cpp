// The open database: its file, page cache, catalog and decoded tables, and the write session
// it makes through its factory on the first write.
#include "jet/open_database.h"

#include "jet/index/index_lookup.h"
#include "jet/index/index_page_cache.h"
#include "jet/pager/journal.h"
#include "jet/util/names.h"

namespace jet {

TableImpl::TableImpl(DatabaseImpl& database, TableInfo tableInfo)
    : db(database), info(std::move(tableInfo)), decoder(info, database.pager(), database.header.codePage) {}

TableImpl::~TableImpl() = default;

TableIndexLookups& TableImpl::indexLookups() {
  if (!lookups_) lookups_ = std::make_unique<TableIndexLookups>();
  return *lookups_;
}

void TableImpl::forgetIndexLookups() { lookups_.reset(); }

DatabaseImpl::DatabaseImpl(std::unique_ptr<File> file, std::string filePath, OpenMode openMode, HeaderInfo hdr,
                           WriteSessionFactory writeSessions)
    : path(std::move(filePath)), mode(openMode), header(hdr), file_(std::move(file)), writeSessions_(writeSessions) {
  pager_ = std::make_unique<Pager>(*file_, header.pageSize);
  if (!path.empty()) pager_->setJournal(Journal(Journal::pathFor(path)));
  Pager::ReadScope scope(*pager_);
  catalog = readCatalogInfo(*pager_, header.format, header.codePage);
  userTables_ = readUserTables(*pager_, catalog, header.codePage);
}

DatabaseImpl::~DatabaseImpl() = default;

write::WriteSession& DatabaseImpl::writer() {
  if (mode != OpenMode::ReadWrite) throw Error(ErrorKind::ReadOnly, path + " is open for reading only");
  if (!writer_) {
    if (!writeSessions_) throw Error(ErrorKind::Unsupported, path + " was opened without a writer");
    writer_ = writeSessions_(*this);
  }
  return writer_->session();
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

}  // namespace jet
