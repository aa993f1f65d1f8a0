// TADOQuery: a statement on a connection and, once open, its whole result held in memory
// with a current record, typed fields, key search, and editing, appending and posting.
// Posts write through to the engine at once; the engine's pages are flushed when the query
// closes (and when its connection disconnects).
#pragma once

#include <QFlags>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "data/criterion.h"
#include "data/field.h"
#include "data/keyindex.h"
#include "data/resultstore.h"
#include "data/variant.h"

namespace qar::data {

class TADOConnection;

enum TCursorType { ctUnspecified = -1, ctOpenForwardOnly = 0, ctKeyset = 1, ctDynamic = 2, ctStatic = 3 };
enum TADOLockType { ltUnspecified = -1, ltReadOnly = 1, ltPessimistic = 2, ltOptimistic = 3, ltBatchOptimistic = 4 };
enum TCursorLocation { clUseServer = 2, clUseClient = 3 };
enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

enum TLocateOption { loCaseInsensitive = 1, loPartialKey = 2 };
Q_DECLARE_FLAGS(TLocateOptions, TLocateOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TLocateOptions)

// A list of text lines; every change is reported to its owner (a query closes on it).
class TStrings {
 public:
  explicit TStrings(std::function<void()> onChange) : onChange_(std::move(onChange)) {}
  void Clear();
  void Add(const QString& line);
  void setText(const QString& text);  // replaces all lines by the lines of text
  int Count() const { return static_cast<int>(lines_.size()); }
  const QString& operator[](int i) const { return lines_.at(i); }
  // The lines, each followed by a line break.
  QString Text() const;

 private:
  QStringList lines_;
  std::function<void()> onChange_;
};

class TADOQuery {
 public:
  explicit TADOQuery(QString name = QString());
  ~TADOQuery();  // closes; errors of the final flush are swallowed
  TADOQuery(const TADOQuery&) = delete;
  TADOQuery& operator=(const TADOQuery&) = delete;

  // The name that prefixes the query's own error messages ("adqTo: ...").
  const QString& Name() const { return name_; }
  void setName(const QString& name) { name_ = name; }

  TADOConnection* Connection() const { return connection_; }
  void setConnection(TADOConnection* connection);  // closes the query first
  TStrings& SQL() { return sql_; }

  TCursorType CursorType() const { return cursorType_; }
  void setCursorType(TCursorType t) { cursorType_ = t; }
  TADOLockType LockType() const { return lockType_; }
  void setLockType(TADOLockType t) { lockType_ = t; }
  TCursorLocation CursorLocation() const { return cursorLocation_; }
  void setCursorLocation(TCursorLocation l) { cursorLocation_ = l; }
  int CacheSize() const { return cacheSize_; }
  void setCacheSize(int n) { cacheSize_ = n < 1 ? 1 : n; }
  // At most this many records are read at open; 0 reads them all.
  int MaxRecords() const { return maxRecords_; }
  void setMaxRecords(int n) { maxRecords_ = n < 0 ? 0 : n; }

  // Opens the statement's result (connecting first when needed) and stands on its first
  // record. After a failure the query is inactive.
  void Open();
  // Inactive; drops the fields and any pending record; flushes the engine. Nothing on an
  // inactive query.
  void Close();
  bool Active() const { return state_ != TDataSetState::dsInactive; }
  void setActive(bool active) { active ? Open() : Close(); }
  // Runs the statement as a command; returns the number of records affected.
  int ExecSQL();

  TDataSetState State() const { return state_; }
  int RecordCount() const;
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  TField& Fields(int index) const;
  TField* FindField(const QString& name) const;  // letter case ignored; null if absent
  TField& FieldByName(const QString& name) const;
  // 1-based number of the current record; 0 without one.
  int RecNo() const;
  // Moves to record recNo (1 to RecordCount()), posting a pending edit first.
  void setRecNo(int recNo);

  // Key search over the whole result. keyFields: names separated by ";". One value per
  // key field. Errors after the query's own checks answer false.
  bool Locate(const QString& keyFields, const Variant& keyValue, TLocateOptions options);
  bool Locate(const QString& keyFields, const std::vector<Variant>& keyValues, TLocateOptions options);

  void Edit();
  void Append();
  void Post();
  void Cancel();  // drops the pending record; nothing while browsing
  void First();
  void Next();
  bool EndOfData() const { return eof_; }
  bool Eof() const { return eof_; }

  // For fields: the value the current (or pending) record holds for a column; Null without
  // a current record.
  jet::Value storedValue(int index) const;
  void checkEditing() const;
  void assignValue(int index, jet::Value value);
  // For the connection: it is going away.
  void connectionGone();
  // Memory the open result holds (its rows; not the key-search indexes).
  size_t ResultMemoryBytes() const { return store_.memoryBytes(); }

 private:
  [[noreturn]] void fail(const QString& text) const;
  void checkActive() const;
  void checkModifiable() const;
  void finishPending();
  void startInsert();
  void sqlChanged();
  void reset();
  KeyIndex& indexFor(const std::vector<int>& columns, bool prefix);
  bool search(const QString& keyFields, std::span<const Variant> values, TLocateOptions options);
  // The result's table in the database open for writing (looked up once per open).
  jet::Table& writeTable();

  QString name_;
  TADOConnection* connection_ = nullptr;
  TStrings sql_;
  TCursorType cursorType_ = ctKeyset;
  TADOLockType lockType_ = ltOptimistic;
  TCursorLocation cursorLocation_ = clUseClient;
  int cacheSize_ = 1;
  int maxRecords_ = 0;

  TDataSetState state_ = TDataSetState::dsInactive;
  QString table_;
  std::vector<std::unique_ptr<TField>> fields_;
  ResultStore store_;
  size_t current_ = 0;
  bool eof_ = true;
  jet::Row pending_;
  std::vector<uint8_t> assigned_;  // by field: 1 once a value was assigned to the pending record
  std::map<std::string, std::unique_ptr<KeyIndex>> indexes_;

  // The last search's key fields resolved, so a loop of searches on the same fields does
  // not look them up again; dropped with the result.
  struct SearchPlan {
    QString keyFields;
    std::vector<int> columns;  // empty: a name that is no field
    KeyIndex* exact = nullptr;
    KeyIndex* prefix = nullptr;
  };
  SearchPlan plan_;
  std::vector<Criterion> criteria_;
  std::string probe_;
  std::optional<jet::Table> writeTable_;
  uint64_t writeGeneration_ = 0;
};

}  // namespace qar::data
