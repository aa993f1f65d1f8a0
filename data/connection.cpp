// TADOConnection: settings, connect and disconnect, the lazy switch from reading to
// writing, and the "Delete From" command.
#include "data/connection.h"

#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/exception.h"
#include "data/messages.h"
#include "data/query.h"

namespace qar::data {

TADOConnection::TADOConnection(QString name) : name_(std::move(name)) {}

TADOConnection::~TADOConnection() {
  for (TADOQuery* q : std::vector<TADOQuery*>(queries_)) q->connectionGone();
  queries_.clear();
  dropDatabase(false);
}

void TADOConnection::setProvider(const QString& provider) {
  if (Connected()) msg::raise(msg::kOpenObject);
  provider_ = provider;
}

void TADOConnection::setConnectionString(const QString& path) {
  if (Connected()) msg::raise(msg::kOpenObject);
  connectionString_ = path;
}

void TADOConnection::setCommandTimeout(int seconds) {
  commandTimeout_ = seconds < 0 ? 0 : seconds;
  // The open for writing took the time-out of the moment it was made for its flushes too.
  if (db_ && db_->writable()) db_->setLockWait(commandTimeout_ * 1000);
}

void TADOConnection::setMode(TConnectMode mode) {
  if (Connected()) msg::raise(msg::kOpenObject);
  mode_ = mode;
}

void TADOConnection::openFile(jet::OpenMode mode, int timeoutSeconds) {
  const std::string path = connectionString_.toStdString();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  while (true) {
    try {
      db_ = jet::Database::open(path, mode, timeoutSeconds * 1000);
      ++generation_;
      break;
    } catch (const jet::Error& e) {
      // Another writer holds the lock: wait for it as long as the time-out allows.
      if (e.kind() != jet::ErrorKind::InUse || std::chrono::steady_clock::now() >= deadline)
        msg::raiseProvider(e.what());
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  std::error_code ec;
  std::filesystem::path file(path);
  openedModified_ = std::filesystem::last_write_time(file, ec);
  openedSize_ = std::filesystem::file_size(file, ec);
}

bool TADOConnection::changedSinceOpen() const {
  std::error_code ec;
  std::filesystem::path file(connectionString_.toStdString());
  auto modified = std::filesystem::last_write_time(file, ec);
  if (ec) return true;
  auto size = std::filesystem::file_size(file, ec);
  return ec || modified != openedModified_ || size != openedSize_;
}

void TADOConnection::setConnected(bool connected) {
  if (connected == Connected()) return;
  if (!connected) {
    QString firstError;
    for (TADOQuery* q : std::vector<TADOQuery*>(queries_)) {
      try {
        q->Close();
      } catch (const qar::Exception& e) {
        if (firstError.isEmpty()) firstError = QString::fromStdString(e.message());
      }
    }
    dropDatabase(firstError.isEmpty());
    if (!firstError.isEmpty()) msg::raise(firstError);
    return;
  }
  if (!provider_.isEmpty() && provider_.compare(QLatin1String(kJetProvider), Qt::CaseInsensitive) != 0)
    msg::raise(QStringLiteral("Provider '%1' cannot be found: the only provider available is %2")
                   .arg(provider_, QLatin1String(kJetProvider)));
  if (connectionString_.trimmed().isEmpty())
    msg::raise(QStringLiteral("No database file named: the connection string is empty"));
  QFileInfo info(connectionString_);
  if (!info.exists()) msg::raise(QStringLiteral("Could not find file '%1'").arg(connectionString_));
  if (info.isDir()) msg::raise(QStringLiteral("'%1' is a folder, not a database file").arg(connectionString_));
  bool readOnlyMode = (mode_ & 3) == cmRead;
  bool lockNow = !readOnlyMode && (mode_ & cmShareDenyWrite);
  openFile(lockNow ? jet::OpenMode::ReadWrite : jet::OpenMode::ReadOnly, connectionTimeout_);
}

void TADOConnection::dropDatabase(bool reportErrors) {
  readAhead_.reset();
  if (!db_) return;
  std::unique_ptr<jet::Database> db = std::move(db_);
  try {
    db->close();
  } catch (const jet::Error& e) {
    if (reportErrors) msg::raiseProvider(e.what());
  }
}

jet::Database& TADOConnection::readDatabase() {
  if (!db_) msg::raise(QStringLiteral("The connection to '%1' is not open").arg(connectionString_));
  if (!db_->writable() && changedSinceOpen()) {
    db_.reset();
    openFile(jet::OpenMode::ReadOnly, connectionTimeout_);
  }
  return *db_;
}

jet::Database& TADOConnection::writeDatabase() {
  if (!db_) msg::raise(QStringLiteral("The connection to '%1' is not open").arg(connectionString_));
  if (db_->writable()) return *db_;
  if ((mode_ & 3) == cmRead)
    msg::raise(QStringLiteral("Cannot update: the database '%1' was opened for reading only").arg(connectionString_));
  db_.reset();
  try {
    openFile(jet::OpenMode::ReadWrite, commandTimeout_);
  } catch (...) {
    // Stay usable for reading.
    try {
      openFile(jet::OpenMode::ReadOnly, connectionTimeout_);
    } catch (...) {
    }
    throw;
  }
  return *db_;
}

bool TADOConnection::canModify() const {
  if (!db_ || (mode_ & 3) == cmRead) return false;
  if (db_->writable()) return true;
  return QFileInfo(connectionString_).isWritable();
}

void TADOConnection::flush() {
  if (!db_ || !db_->writable()) return;
  try {
    db_->flush();
  } catch (const jet::Error& e) {
    msg::raiseProvider(e.what());
  }
}

int TADOConnection::deleteAll(const QString& table) {
  if (!canModify() && !(db_ && db_->writable()))
    msg::raise(QStringLiteral("Cannot delete from table '%1': the database '%2' cannot be written")
                   .arg(table, connectionString_));
  jet::Database& db = writeDatabase();
  const std::string name = table.toStdString();
  if (!db.hasTable(name)) msg::raise(msg::tableNotFound(table));
  try {
    // Written with what follows (the records a run appends next, say) at the next flush, so
    // a crash in between leaves the table as it was rather than empty.
    return static_cast<int>(db.table(name).removeAll());
  } catch (const jet::Error& e) {
    msg::raiseProvider(e.what());
  }
}

void TADOConnection::requireTable(const QString& table) {
  setConnected(true);
  try {
    if (!readDatabase().hasTable(table.toStdString())) msg::raise(msg::tableNotFound(table));
  } catch (const jet::Error& e) {
    msg::raiseProvider(e.what());
  }
}

void TADOConnection::readAhead(const QStringList& tables) {
  readAhead_.reset();
  if (!db_ || db_->writable() || tables.isEmpty()) return;
  std::vector<std::string> names;
  for (const QString& table : tables) names.push_back(table.toStdString());
  try {
    readAhead_ = std::make_unique<ResultPrefetch>(connectionString_.toStdString(), std::move(names));
  } catch (const std::exception&) {
    // No thread (or no memory) to spare: every query reads its table itself.
  }
}

std::optional<ResultStore> TADOConnection::takeReadAhead(const QString& table, const jet::TableDef& def) {
  if (!readAhead_) return std::nullopt;
  // What this connection writes is not in the file until it is flushed.
  if (!db_ || db_->writable()) {
    readAhead_.reset();
    return std::nullopt;
  }
  if (!readAhead_->isNext(table.toStdString())) {
    readAhead_.reset();
    return std::nullopt;
  }
  std::vector<jet::ColumnKind> kinds;
  for (const jet::Column& c : def.columns) kinds.push_back(c.kind);
  std::optional<ResultStore> result = readAhead_->takeNext(def.definitionPage, kinds);
  if (result) ++readAheadTaken_;
  return result;
}

void TADOConnection::attach(TADOQuery* query) {
  if (std::find(queries_.begin(), queries_.end(), query) == queries_.end()) queries_.push_back(query);
}

void TADOConnection::detach(TADOQuery* query) { std::erase(queries_, query); }

void TADOConnection::queryClosed() {
  if (keepConnection_ || !Connected()) return;
  for (TADOQuery* q : queries_)
    if (q->Active()) return;
  dropDatabase(true);
}

}  // namespace qar::data
