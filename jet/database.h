// The storage engine's public face: open or create an Access (.mdb) file, list its user
// tables, scan, insert, update and delete rows, look rows up through indexes, flush.
//
// Contract:
//  - A database opened ReadOnly is opened read-only by the operating system and takes no
//    writer's lock: its bytes and modification time never change (except that a journal an
//    interrupted flush left is rolled back first, when the file may be written; when it may
//    not, the open is refused). Its reads hold a shared lock that keeps them out of another
//    open's flush (each scan for its whole length); a read after another open wrote the file
//    is refused with ErrorKind::InUse: open it again.
//  - A database opened ReadWrite takes an exclusive advisory lock for as long as it is open;
//    a second writer gets ErrorKind::InUse. Writes go through a page cache; flush() writes
//    every dirty page and syncs. After a flush the file is consistent. close() flushes.
//  - A write that fails raises jet::Error and leaves the database as it was before it.
//  - Not thread-safe: one thread uses a Database and everything obtained from it.
//  - Table handles and cursors stay valid while their Database lives; a cursor sees the
//    rows as they are when it reads them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/error.h"
#include "jet/format/types.h"
#include "jet/open_mode.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

// Format (Jet 3 or Jet 4) and RowId come from jet/format/types.h.
class DatabaseImpl;
class TableImpl;

// Streams the rows of a table in table-scan order (the order "Select *" returns them).
class RowCursor {
 public:
  RowCursor(RowCursor&&) noexcept;
  RowCursor& operator=(RowCursor&&) noexcept;
  ~RowCursor();
  // Advances to the next live row; false at the end. Values stay valid until the next call.
  bool next();
  RowId id() const;
  const Row& values() const;

 private:
  friend class Table;
  struct State;
  explicit RowCursor(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// Walks an index in key order, yielding the rows' ids.
class IndexCursor {
 public:
  IndexCursor(IndexCursor&&) noexcept;
  IndexCursor& operator=(IndexCursor&&) noexcept;
  ~IndexCursor();
  bool next();
  RowId id() const;

 private:
  friend class Table;
  struct State;
  explicit IndexCursor(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// A user table of an open database. Cheap to copy; valid while the Database lives.
class Table {
 public:
  const TableDef& def() const;
  const std::string& name() const { return def().name; }

  RowCursor scan() const;
  Row read(RowId id) const;
  uint32_t rowCount() const;

  // Inserts a row given in column order. An auto-number column must be Null there and
  // receives the next value (written back into row). Returns the new row's id.
  RowId insert(Row& row);
  // Replaces the stored row by newRow (all columns, in column order). An auto-number column
  // must keep its value.
  void update(RowId id, const Row& newRow);
  void remove(RowId id);
  // Deletes every row; returns how many there were.
  uint32_t removeAll();

  // Index lookups: the first row, in index order, whose key equals key (one value per
  // index column; text compared as the index's sort order compares, letter case ignored).
  // Rows written and not yet flushed are seen: the table's indexes are brought up to date
  // first (written anew, as a flush would). Decoded index pages are kept between look-ups.
  std::optional<RowId> seek(std::string_view indexName, const Row& key) const;
  IndexCursor indexScan(std::string_view indexName) const;

 private:
  friend class Database;
  Table(DatabaseImpl* db, TableImpl* impl) : db_(db), impl_(impl) {}
  DatabaseImpl* db_;
  TableImpl* impl_;
};

class Database {
 public:
  // Opens an existing Jet 3 or Jet 4 file. Refuses ACE (.accdb), encrypted or
  // password-protected files and anything else with a clear message.
  // lockWaitMs bounds each wait for another open's flush (or, for a flush, its readers).
  static std::unique_ptr<Database> open(const std::string& path, OpenMode mode = OpenMode::ReadOnly,
                                        int lockWaitMs = 15000);
  // Wraps a database opened by the engine's internals (openDatabaseImpl in
  // jet/database_impl.h, which tests and fuzzers use on a memory file).
  static std::unique_ptr<Database> adopt(std::unique_ptr<DatabaseImpl> impl);
  // Creates a new, empty database (the file must not exist) and opens it ReadWrite: Jet 4
  // (Access 2000) by default, Jet 3 (Access 97) on request; code page 1252, General order.
  static std::unique_ptr<Database> create(const std::string& path, Format format = Format::Jet4);

  ~Database();  // flushes; errors there are swallowed (call close() to see them)
  void close();
  void flush();

  Format format() const;
  bool writable() const;
  uint16_t codePage() const;
  SortOrder sortOrder() const;
  const std::string& path() const;

  // User tables (system and hidden objects excluded), in catalog order.
  std::vector<std::string> tableNames() const;
  // Case-insensitive, as Access names tables. NotFound error naming the table if absent.
  Table table(std::string_view name) const;
  bool hasTable(std::string_view name) const;

  Table createTable(const TableSpec& blueprint);

  // Things read but not understood (an unknown column kind, say), one line each.
  const std::vector<std::string>& warnings() const;

  // How many clean pages the database keeps in memory (at least 8; 4,096 at open). A reader
  // that passes over each table once gains nothing from many.
  void setPageCacheLimit(size_t pages);
  // Bounds each later wait for another open's flush (or, for a flush, its readers), as
  // lockWaitMs does at the open.
  void setLockWait(int ms);

 private:
  explicit Database(std::unique_ptr<DatabaseImpl> impl);
  std::unique_ptr<DatabaseImpl> impl_;
};

}  // namespace jet
