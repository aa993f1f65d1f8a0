// The engine's private side of Database and Table: the open file, its page cache, the header
// facts, the catalog, and one TableImpl per table opened so far. The writer and the structure
// check work on these directly; the write session comes from a factory the opener supplies.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "jet/catalog.h"
#include "jet/error.h"
#include "jet/header.h"
#include "jet/io/file.h"
#include "jet/open_mode.h"
#include "jet/pager/pager.h"
#include "jet/row_decoder.h"
#include "jet/table_info.h"

namespace jet {

class DatabaseImpl;
class IndexPageCache;
class TableIndexLookups;
namespace write {
class WriteSession;
}

// The write side as the open database holds it: made by the factory on the first write,
// flushed on close. write::WriteSession implements it.
class WriteSessionHandle {
 public:
  virtual ~WriteSessionHandle() = default;
  virtual write::WriteSession& session() = 0;
  virtual void flush() = 0;
};
using WriteSessionFactory = std::unique_ptr<WriteSessionHandle> (*)(DatabaseImpl&);

class TableImpl {
 public:
  TableImpl(DatabaseImpl& db, TableInfo info);
  TableImpl(const TableImpl&) = delete;
  TableImpl& operator=(const TableImpl&) = delete;
  ~TableImpl();

  DatabaseImpl& db;
  TableInfo info;       // decoded definition; the writer keeps it in step with the pages
  RowDecoder decoder;   // refers to info

  // The table's indexes made ready for look-ups, on first use. Whoever replaces info calls
  // forgetIndexLookups().
  TableIndexLookups& indexLookups();
  void forgetIndexLookups();

 private:
  std::unique_ptr<TableIndexLookups> lookups_;
};

class DatabaseImpl {
 public:
  // Takes over an open file whose header has been decoded; reads the catalog. writeSessions
  // makes the write session on the first write (none: writer() refuses).
  DatabaseImpl(std::unique_ptr<File> file, std::string path, OpenMode mode, HeaderInfo header,
               WriteSessionFactory writeSessions = nullptr);
  ~DatabaseImpl();

  Pager& pager();  // throws when the database was closed
  bool isOpen() const { return pager_ != nullptr; }
  void close();    // flushes (when writable), then releases the file and its lock

  // Entries of user tables in catalog order.
  const std::vector<CatalogEntry>& userTables() const { return userTables_; }
  // Case-insensitive (ASCII letters) look-up; nullptr when absent.
  const CatalogEntry* findTable(std::string_view name) const;
  // The table's decoded definition, read on first use.
  TableImpl& table(const CatalogEntry& entry);
  // Forgets a decoded definition (after the writer changed its pages behind it).
  void forgetTable(uint32_t definitionPage) { tables_.erase(definitionPage); }
  // Adds a table the writer created to the catalog list.
  void addUserTable(CatalogEntry entry) { userTables_.push_back(std::move(entry)); }

  // The write side's state (made on the first write; only for databases open for writing).
  write::WriteSession& writer();
  // Whether a write session exists (something was written since opening).
  write::WriteSession* writerIfAny() { return writer_ ? &writer_->session() : nullptr; }
  // Decoded index pages kept for look-ups (made on first use; throws when closed).
  IndexPageCache& indexPages();

  const std::string path;
  const OpenMode mode;
  const HeaderInfo header;
  TableInfo catalog;  // MSysObjects
  std::vector<std::string> warnings;
  // Set when the open rolled back a journal an interrupted flush had left.
  bool journalRolledBack = false;

 private:
  std::unique_ptr<File> file_;
  std::unique_ptr<Pager> pager_;
  WriteSessionFactory writeSessions_;
  std::unique_ptr<WriteSessionHandle> writer_;
  std::unique_ptr<IndexPageCache> indexPages_;
  std::vector<CatalogEntry> userTables_;
  std::map<uint32_t, std::unique_ptr<TableImpl>> tables_;
};

// The error with the file's path (and the table's name, when given and not yet there) in front.
Error withContext(const Error& e, const std::string& path, const std::string& table);

}  // namespace jet
