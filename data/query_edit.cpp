// TADOQuery's editing: edit, append, field assignment, post and cancel. A post writes
// through to the engine at once and then updates the in-memory result and its key indexes.
#include <algorithm>

#include "base/exception.h"
#include "data/connection.h"
#include "data/messages.h"
#include "data/query.h"

namespace qar::data {

void TADOQuery::checkModifiable() const {
  if (lockType_ == ltReadOnly || !connection_ || !connection_->canModify()) fail(msg::kReadOnlyDataset);
}

void TADOQuery::checkEditing() const {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) fail(msg::kNotEditing);
}

void TADOQuery::assignValue(int index, jet::Value value) {
  checkEditing();
  auto i = static_cast<size_t>(index);
  pending_.at(i) = std::move(value);
  assigned_.at(i) = 1;
}

void TADOQuery::finishPending() {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
  bool any = std::find(assigned_.begin(), assigned_.end(), uint8_t{1}) != assigned_.end();
  if (any)
    Post();
  else
    Cancel();
}

void TADOQuery::startInsert() {
  pending_.assign(fields_.size(), jet::Null{});
  assigned_.assign(fields_.size(), 0);
  state_ = TDataSetState::dsInsert;
}

void TADOQuery::Edit() {
  checkActive();
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) return;
  checkModifiable();
  if (store_.rowCount() == 0) {
    startInsert();
    return;
  }
  pending_ = store_.row(current_);
  assigned_.assign(fields_.size(), 0);
  state_ = TDataSetState::dsEdit;
}

void TADOQuery::Append() {
  checkActive();
  finishPending();
  checkModifiable();
  startInsert();
}

void TADOQuery::Cancel() {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
  pending_.clear();
  assigned_.clear();
  state_ = TDataSetState::dsBrowse;
}

jet::Table& TADOQuery::writeTable() {
  jet::Database& db = connection_->writeDatabase();
  if (!writeTable_ || writeGeneration_ != connection_->generation()) {
    writeTable_.reset();
    writeTable_.emplace(db.table(table_.toStdString()));
    writeGeneration_ = connection_->generation();
  }
  return *writeTable_;
}

void TADOQuery::Post() {
  checkEditing();
  bool anyAssigned = std::find(assigned_.begin(), assigned_.end(), uint8_t{1}) != assigned_.end();
  if (state_ == TDataSetState::dsEdit && !anyAssigned) {  // nothing to write
    Cancel();
    eof_ = false;
    return;
  }
  try {
    jet::Table& table = writeTable();
    if (state_ == TDataSetState::dsInsert) {
      // The pending record is the row: Null where nothing was assigned. The insert fills in
      // the auto-number only once the row is written, so a refused insert leaves the record
      // as it was being edited.
      const jet::RowId id = table.insert(pending_);
      store_.appendRow(pending_, id);
      auto r = static_cast<uint32_t>(store_.rowCount() - 1);
      for (auto& [key, index] : indexes_) index->add(store_, r);
      current_ = r;
    } else {
      // Edit filled pending_ with the whole record: it is the new row as it stands.
      const jet::Row& row = pending_;
      table.update(store_.rowId(current_), row);
      auto r = static_cast<uint32_t>(current_);
      for (auto& [key, index] : indexes_) index->remove(store_, r);
      for (size_t i = 0; i < fields_.size(); ++i)
        if (assigned_[i]) store_.setCell(current_, i, row[i]);
      for (auto& [key, index] : indexes_) index->add(store_, r);
    }
  } catch (const jet::Error& e) {
    msg::raiseProvider(e.what());  // the state stays editing or inserting
  }
  pending_.clear();
  assigned_.clear();
  state_ = TDataSetState::dsBrowse;
  eof_ = false;
}

}  // namespace qar::data
