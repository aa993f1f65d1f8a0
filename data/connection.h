// TADOConnection: one database file, opened through the storage engine. A connection reads
// until the first write is asked of it: until then the file is open read-only at the
// operating-system level (its bytes and modification time stay as they are); the first
// delete or post reopens it read-write under the engine's exclusive lock.
#pragma once

#include <QString>

#include <QStringList>

#include <filesystem>

#include <memory>
#include <optional>
#include <vector>

#include "data/result_prefetch.h"
#include "data/resultstore.h"
#include "jet/database.h"

namespace qar::data {

class TADOQuery;

// The share mode asked for at connect, with the numbers ADO gives them.
enum TConnectMode {
  cmUnknown = 0,
  cmRead = 1,
  cmWrite = 2,
  cmReadWrite = 3,
  cmShareDenyRead = 4,
  cmShareDenyWrite = 8,
  cmShareExclusive = 12,
  cmShareDenyNone = 16,
};

class TADOConnection {
 public:
  // The one provider this layer has: our own storage engine stands behind the name.
  static constexpr const char* kJetProvider = "Microsoft.Jet.OLEDB.4.0";

  explicit TADOConnection(QString name = QString());
  ~TADOConnection();  // disconnects; errors of the final flush are swallowed
  TADOConnection(const TADOConnection&) = delete;
  TADOConnection& operator=(const TADOConnection&) = delete;

  const QString& Name() const { return name_; }
  void setName(const QString& name) { name_ = name; }

  // Provider, ConnectionString and Mode are set while disconnected; setting them while
  // connected raises "Operation is not allowed when the object is open".
  const QString& Provider() const { return provider_; }
  void setProvider(const QString& provider);
  // The bare path of the database file.
  const QString& ConnectionString() const { return connectionString_; }
  void setConnectionString(const QString& path);
  TConnectMode Mode() const { return mode_; }
  void setMode(TConnectMode mode);
  // Seconds to wait for another writer's lock: at connect (share-deny-write and exclusive
  // modes take the lock then) and at the first write of a command or post.
  int ConnectionTimeout() const { return connectionTimeout_; }
  void setConnectionTimeout(int seconds) { connectionTimeout_ = seconds < 0 ? 0 : seconds; }
  // Also bounds how long a flush waits for other programs reading the file.
  int CommandTimeout() const { return commandTimeout_; }
  void setCommandTimeout(int seconds);
  // No dialog is ever shown: the engine asks for no user name or password.
  bool LoginPrompt() const { return loginPrompt_; }
  void setLoginPrompt(bool prompt) { loginPrompt_ = prompt; }
  // Whether to stay connected once the last open query on this connection closes.
  bool KeepConnection() const { return keepConnection_; }
  void setKeepConnection(bool keep) { keepConnection_ = keep; }

  bool Connected() const { return db_ != nullptr; }
  // true opens the file when not open; false closes queries and the file (flushing) when open.
  // A refusal raises the engine's message.
  void setConnected(bool connected);
  void Open() { setConnected(true); }
  void Close() { setConnected(false); }

  // For queries and commands on this connection.
  // The open database; on a connection that has not written yet, reopened first when the
  // file changed since it was opened (so a new query sees what another connection wrote).
  jet::Database& readDatabase();
  // The database open for writing, reopening it read-write on the first call.
  jet::Database& writeDatabase();
  // Whether results on this connection may be modified (not cmRead, an Access 97 or Access
  // 2000-2003 file the operating system lets us write).
  bool canModify() const;
  // Changes whenever the database is opened again (a jet::Table of an older open is stale).
  uint64_t generation() const { return generation_; }
  // Writes what is pending when the database is open for writing.
  void flush();
  // Runs a "Delete From" on a table; returns the number of rows removed. Like a post, the
  // removal reaches the file at the next flush (a query closing, the connection closing).
  int deleteAll(const QString& table);
  // Connects when not connected and raises, as opening "Select * From <table>" would, when
  // the table is not in the database; reads none of its rows.
  void requireTable(const QString& table);
  // Reads these tables ahead, in this order, on a worker thread of its own (see
  // data/result_prefetch.h): a query opening "Select * From" the next of them then takes its
  // records from there. Nothing on a database open for writing; dropped on disconnecting.
  void readAhead(const QStringList& tables);
  // For queries: the records of a table read ahead, when it is the next in line and the file
  // is as it was read; otherwise nothing (and reading ahead stops when it was not next in
  // line).
  std::optional<ResultStore> takeReadAhead(const QString& table, const jet::TableDef& def);
  // How many opens took their records from reading ahead.
  int readAheadTaken() const { return readAheadTaken_; }

  void attach(TADOQuery* query);
  void detach(TADOQuery* query);
  void queryClosed();

 private:
  void openFile(jet::OpenMode mode, int timeoutSeconds);
  void dropDatabase(bool reportErrors);
  // Whether the file's modification time or size differ from those at the last open.
  bool changedSinceOpen() const;

  QString name_;
  QString provider_;
  QString connectionString_;
  TConnectMode mode_ = cmUnknown;
  int connectionTimeout_ = 15;
  int commandTimeout_ = 30;
  bool loginPrompt_ = true;
  bool keepConnection_ = true;

  std::unique_ptr<jet::Database> db_;
  uint64_t generation_ = 0;  // counts the opens of db_, so handles into an older one are known
  // The file's modification time and size when a read-only open read it.
  std::filesystem::file_time_type openedModified_{};
  std::uintmax_t openedSize_ = 0;
  std::vector<TADOQuery*> queries_;
  std::unique_ptr<ResultPrefetch> readAhead_;
  int readAheadTaken_ = 0;
};

}  // namespace qar::data
