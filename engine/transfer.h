// The four transfer strategies and the record loop they share. Each strategy carries the
// records of one open source query into one open destination query; the two are paired
// column by column by position, the destination's column count ruling every column loop.
// Failures are raised (dataset errors as they come); position() says where one happened.
#pragma once

#include <QString>

#include "engine/run_observer.h"
#include "engine/run_outcome.h"

namespace qar::data {
class TADOQuery;
}

namespace qar {

class TableTransfer {
 public:
  // Progress goes to observer; the counters go to summary (which must outlive this).
  TableTransfer(RunObserver& observer, TableSummary& summary);

  // Each strategy returns true when every source record was carried over and false when the
  // run was cancelled before one of them (CopyCancelled, checked before every record).

  // Merge on key column k: a source record whose key text the destination's key search finds
  // updates that record (every column but k); any other is appended whole.
  bool UpdateQueryKey1(data::TADOQuery& from, data::TADOQuery& to, int k);
  // Merge on key columns k1 and k2: the key search on k1 finds the first record of that key;
  // from there on, to the end, the first record with the same k1 and exactly the same k2 text
  // gets columns 2 onwards. When k1 is not found, or no record carries both keys, the source
  // record is appended whole, so nothing is dropped and no other key pair is overwritten.
  bool UpdateQueryKey2(data::TADOQuery& from, data::TADOQuery& to, int k1, int k2);
  // Positional refresh on test column t: the r-th source record overwrites columns 1 onwards
  // of the r-th destination record when its test column is not blank. A source record past
  // the destination's last record is appended (columns 1 onwards; column 0 is left to the
  // destination), again only when its test column is not blank.
  bool RecoverQuery(data::TADOQuery& from, data::TADOQuery& to, int t);
  // Appends every source record whole (the destination was emptied before).
  bool AppendQuery(data::TADOQuery& from, data::TADOQuery& to);

  // Where the last step was: "record 5 of 20, column 3 (CardNo), posting".
  QString position() const;

 private:
  template <class Body>
  bool recordLoop(data::TADOQuery& from, Body&& body);
  // Copies columns first..last of the destination from the source, leaving out skip.
  void copyColumns(data::TADOQuery& from, data::TADOQuery& to, int first, int skip = -1);
  void post(data::TADOQuery& to);

  RunObserver& observer_;
  TableSummary& summary_;
  int record_ = 0;
  int recordCount_ = 0;
  int column_ = -1;
  // The dataset whose column column_ names while columns are copied (for position()).
  const data::TADOQuery* columnQuery_ = nullptr;
  const char* step_ = "opening";
};

// The test column's text with every character of code 32 or below cut from both ends.
QString trimmedTestText(const QString& text);

}  // namespace qar
