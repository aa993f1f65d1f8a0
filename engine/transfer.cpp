// The record loop and the bodies of the four transfer strategies (see transfer.h).
#include "engine/transfer.h"

#include "data/query.h"
#include "data/field.h"
#include "engine/key_pair_index.h"
#include "engine/search_options.h"
#include "engine/selection.h"

namespace qar {

using data::TADOQuery;
using data::Variant;

TableTransfer::TableTransfer(RunObserver& observer, TableSummary& summary)
    : observer_(observer), summary_(summary) {}

QString trimmedTestText(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && text[begin].unicode() <= 32) ++begin;
  while (end > begin && text[end - 1].unicode() <= 32) --end;
  return text.mid(begin, end - begin);
}

QString TableTransfer::position() const {
  QString where = QStringLiteral("record %1 of %2").arg(record_).arg(recordCount_);
  if (column_ >= 0) {
    where += QStringLiteral(", column %1").arg(column_);
    if (columnQuery_ && columnQuery_->Active() && column_ < columnQuery_->FieldCount())
      where += QStringLiteral(" (%1)").arg(columnQuery_->Fields(column_).FieldName());
  }
  where += QStringLiteral(", ") + QString::fromLatin1(step_);
  return where;
}

template <class Body>
bool TableTransfer::recordLoop(TADOQuery& from, Body&& body) {
  step_ = "counting records";
  recordCount_ = from.RecordCount();
  observer_.recordLoopStarted(recordCount_);
  // The count is read again on every pass; the source is only read, so it stays put.
  for (int r = 1; r <= from.RecordCount(); ++r) {
    observer_.pumpMessages();
    record_ = r;
    column_ = -1;
    observer_.recordStarted(r);
    if (CopyCancelled.load()) return false;
    ++summary_.recordsRead;
    body();
    step_ = "moving to the next record";
    column_ = -1;
    from.Next();
  }
  return true;
}

void TableTransfer::copyColumns(TADOQuery& from, TADOQuery& to, int first, int skip) {
  const int count = to.FieldCount();
  columnQuery_ = &to;
  for (int c = first; c < count; ++c) {
    if (c == skip) continue;
    column_ = c;
    step_ = "reading the source column";
    const data::TField& source = from.Fields(c);
    step_ = "setting the destination column";
    to.Fields(c).copyValueFrom(source);
  }
  column_ = -1;
  columnQuery_ = nullptr;
}

void TableTransfer::post(TADOQuery& to) {
  step_ = "posting";
  to.Post();
}

bool TableTransfer::UpdateQueryKey1(TADOQuery& from, TADOQuery& to, int k) {
  return recordLoop(from, [&] {
    step_ = "reading the key";
    column_ = k;
    const QString key = from.Fields(k).AsString();
    const QString keyName = to.Fields(k).FieldName();
    step_ = "searching the key";
    if (to.Locate(keyName, Variant(key), SearchOptions)) {
      step_ = "editing";
      to.Edit();
      copyColumns(from, to, 0, k);
      post(to);
      ++summary_.recordsUpdated;
    } else {
      step_ = "appending";
      to.Append();
      copyColumns(from, to, 0);
      post(to);
      ++summary_.recordsAppended;
    }
  });
}

bool TableTransfer::UpdateQueryKey2(TADOQuery& from, TADOQuery& to, int k1, int k2) {
  // One pass over the destination learns which key pairs it holds; records appended below
  // are added as they are posted. Edits never touch columns 0 and 1, so the pairs hold.
  // The pass is made at the first source record, while the destination still stands on its
  // first record where SelectQuery left it (an empty source reads nothing).
  KeyPairIndex pairs;
  bool indexed = false;
  auto learnPairs = [&] {
    step_ = "reading the destination's keys";
    const int destinationCount = to.RecordCount();
    for (int i = 0; i < destinationCount; ++i) {
      column_ = k1;
      const std::string group = keyGroupOf(to.Fields(k1));
      column_ = k2;
      pairs.add(group, to.Fields(k2).AsString(), i + 1);
      to.Next();
    }
    indexed = true;
  };

  return recordLoop(from, [&] {
    if (!indexed) learnPairs();
    step_ = "reading the keys";
    column_ = k1;
    const QString key1 = from.Fields(k1).AsString();
    column_ = k2;
    const QString key2 = from.Fields(k2).AsString();
    column_ = k1;
    const QString keyName = to.Fields(k1).FieldName();
    step_ = "searching the first key";
    bool updated = false;
    if (to.Locate(keyName, Variant(key1), SearchOptions)) {
      // The landing record is the first of its key in the destination's order, so the
      // records before it carry another key: the scan from it forward sees all candidates.
      const std::string group = keyGroupOf(to.Fields(k1));
      const int holder = pairs.find(group, key2);
      bool found = false;
      if (holder >= to.RecNo()) {
        // The first record with both keys, which the scan below would reach: go there.
        step_ = "moving to the record with both keys";
        to.setRecNo(holder);
        found = true;
      } else if (holder != 0) {
        step_ = "scanning for the second key";
        while (!(found = keyGroupOf(to.Fields(k1)) == group && to.Fields(k2).AsString() == key2)) {
          to.Next();  // on the last record this only sets the end flag
          if (to.Eof()) break;
        }
      }
      if (found) {
        step_ = "editing";
        to.Edit();
        copyColumns(from, to, 2);
        post(to);
        ++summary_.recordsUpdated;
        updated = true;
      }
    }
    if (!updated) {
      step_ = "appending";
      to.Append();
      copyColumns(from, to, 0);
      post(to);
      ++summary_.recordsAppended;
      pairs.add(keyGroupOf(to.Fields(k1)), to.Fields(k2).AsString(), to.RecNo());
    }
  });
}

bool TableTransfer::RecoverQuery(TADOQuery& from, TADOQuery& to, int t) {
  // Source records pair with destination records by position, up to the destination's own
  // count at the start; records appended here never become anyone's partner.
  const int partners = to.RecordCount();
  int r = 0;
  return recordLoop(from, [&] {
    ++r;
    step_ = "reading the test column";
    column_ = t;
    const QString value = trimmedTestText(from.Fields(t).AsString());
    if (r <= partners) {
      if (!value.isEmpty()) {
        step_ = "editing";
        to.Edit();
        copyColumns(from, to, 1);
        post(to);
        ++summary_.recordsUpdated;
      } else {
        ++summary_.recordsUnchanged;
      }
      step_ = "moving the destination to its next record";
      to.Next();
    } else if (!value.isEmpty()) {
      step_ = "appending";
      to.Append();
      copyColumns(from, to, 1);
      post(to);
      ++summary_.recordsAppended;
    } else {
      ++summary_.recordsUnchanged;
    }
  });
}

bool TableTransfer::AppendQuery(TADOQuery& from, TADOQuery& to) {
  return recordLoop(from, [&] {
    step_ = "appending";
    to.Append();
    copyColumns(from, to, 0);
    post(to);
    ++summary_.recordsAppended;
  });
}

}  // namespace qar
