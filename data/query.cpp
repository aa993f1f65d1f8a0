// TADOQuery: statement text, open and close, the command form, fields and navigation.
#include "data/query.h"

#include <algorithm>

#include "base/exception.h"
#include "data/connection.h"
#include "data/messages.h"
#include "data/statement.h"

namespace qar::data {

void TStrings::Clear() {
  lines_.clear();
  onChange_();
}

void TStrings::Add(const QString& line) {
  lines_.append(line);
  onChange_();
}

void TStrings::setText(const QString& text) {
  lines_ = text.split(u'\n');
  for (QString& l : lines_)
    if (l.endsWith(u'\r')) l.chop(1);
  if (!lines_.isEmpty() && lines_.last().isEmpty()) lines_.removeLast();
  onChange_();
}

QString TStrings::Text() const {
  QString out;
  for (const QString& l : lines_) out += l + u'\n';
  return out;
}

TADOQuery::TADOQuery(QString name) : name_(std::move(name)), sql_([this] { sqlChanged(); }) {}

TADOQuery::~TADOQuery() {
  try {
    Close();
  } catch (const qar::Exception&) {
  }
  if (connection_) connection_->detach(this);
}

void TADOQuery::fail(const QString& text) const { msg::raiseFor(name_, text); }

void TADOQuery::setConnection(TADOConnection* connection) {
  if (connection == connection_) return;
  Close();
  if (connection_) connection_->detach(this);
  connection_ = connection;
  if (connection_) connection_->attach(this);
}

void TADOQuery::connectionGone() {
  try {
    Close();
  } catch (const qar::Exception&) {
  }
  connection_ = nullptr;
}

void TADOQuery::sqlChanged() { Close(); }

void TADOQuery::reset() {
  state_ = TDataSetState::dsInactive;
  fields_.clear();
  store_ = ResultStore();
  indexes_.clear();
  plan_ = SearchPlan();
  pending_.clear();
  assigned_.clear();
  current_ = 0;
  eof_ = true;
  table_.clear();
  writeTable_.reset();
}

void TADOQuery::Close() {
  if (!Active()) return;
  reset();
  if (connection_) {
    connection_->flush();
    connection_->queryClosed();
  }
}

void TADOQuery::Open() {
  if (Active()) return;
  QString text = sql_.Text();
  if (text.trimmed().isEmpty()) fail(msg::missingProperty(QStringLiteral("SQL")));
  if (!connection_) fail(msg::missingProperty(QStringLiteral("Connection")));
  Statement st = parseStatement(text);
  if (st.kind != Statement::Select) fail(msg::kNoResultSet);
  connection_->setConnected(true);
  try {
    jet::Database& db = connection_->readDatabase();
    const std::string tableName = st.table.toStdString();
    if (!db.hasTable(tableName)) msg::raise(msg::tableNotFound(st.table));
    jet::Table table = db.table(tableName);
    const jet::TableDef& def = table.def();
    std::vector<FieldDef> defs = makeFieldDefs(def.columns, db.format() == jet::Format::Jet4);
    std::optional<ResultStore> readAhead;
    if (maxRecords_ == 0) readAhead = connection_->takeReadAhead(st.table, def);
    if (readAhead) {
      store_ = std::move(*readAhead);
    } else {
      std::vector<jet::ColumnKind> kinds;
      for (const auto& c : def.columns) kinds.push_back(c.kind);
      store_ = ResultStore(std::move(kinds));
      // The stored count only sizes the first allocation; a damaged one must not make it huge.
      store_.reserve(std::min<size_t>(table.rowCount(), size_t{1} << 22));
      jet::RowCursor cursor = table.scan();
      while ((maxRecords_ == 0 || store_.rowCount() < static_cast<size_t>(maxRecords_)) && cursor.next())
        store_.appendRow(cursor.values(), cursor.id());
    }
    for (size_t i = 0; i < defs.size(); ++i)
      fields_.push_back(TField::create(this, static_cast<int>(i), std::move(defs[i])));
    table_ = QString::fromStdString(def.name);
  } catch (const jet::Error& e) {
    reset();
    msg::raiseProvider(e.what());
  } catch (...) {
    reset();
    throw;
  }
  state_ = TDataSetState::dsBrowse;
  current_ = 0;
  eof_ = store_.rowCount() == 0;
}

int TADOQuery::ExecSQL() {
  Close();
  QString text = sql_.Text();
  if (text.trimmed().isEmpty()) fail(msg::missingProperty(QStringLiteral("SQL")));
  if (!connection_) fail(msg::missingProperty(QStringLiteral("Connection")));
  Statement st = parseStatement(text);
  connection_->setConnected(true);
  int affected = 0;
  if (st.kind == Statement::Delete) {
    affected = connection_->deleteAll(st.table);
  } else {
    // A select run as a command reads nothing and changes nothing; the table must exist.
    try {
      if (!connection_->readDatabase().hasTable(st.table.toStdString())) msg::raise(msg::tableNotFound(st.table));
    } catch (const jet::Error& e) {
      msg::raiseProvider(e.what());
    }
  }
  connection_->queryClosed();
  return affected;
}

void TADOQuery::checkActive() const {
  if (!Active()) fail(msg::kClosedDataset);
}

int TADOQuery::RecordCount() const {
  checkActive();
  return static_cast<int>(store_.rowCount());
}

TField& TADOQuery::Fields(int index) const {
  if (index < 0 || index >= FieldCount()) msg::raise(msg::listIndexOutOfBounds(index));
  return *fields_[static_cast<size_t>(index)];
}

TField* TADOQuery::FindField(const QString& name) const {
  for (const auto& f : fields_)
    if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0) return f.get();
  return nullptr;
}

TField& TADOQuery::FieldByName(const QString& name) const {
  TField* f = FindField(name);
  if (!f) fail(msg::fieldNotFound(name));
  return *f;
}

int TADOQuery::RecNo() const {
  if (!Active()) return 0;
  if (state_ == TDataSetState::dsInsert) return static_cast<int>(store_.rowCount()) + 1;
  return store_.rowCount() == 0 ? 0 : static_cast<int>(current_) + 1;
}

jet::Value TADOQuery::storedValue(int index) const {
  auto i = static_cast<size_t>(index);
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) return pending_.at(i);
  if (!Active() || store_.rowCount() == 0) return jet::Null{};
  return store_.cell(current_, i);
}

void TADOQuery::First() {
  checkActive();
  finishPending();
  current_ = 0;
  eof_ = store_.rowCount() == 0;
}

void TADOQuery::setRecNo(int recNo) {
  checkActive();
  finishPending();
  if (recNo < 1 || static_cast<size_t>(recNo) > store_.rowCount())
    fail(QStringLiteral("Record %1 does not exist: the result holds %2 records").arg(recNo).arg(store_.rowCount()));
  current_ = static_cast<size_t>(recNo) - 1;
  eof_ = false;
}

void TADOQuery::Next() {
  checkActive();
  finishPending();
  if (eof_) return;
  if (current_ + 1 < store_.rowCount())
    ++current_;
  else
    eof_ = true;
}

}  // namespace qar::data
