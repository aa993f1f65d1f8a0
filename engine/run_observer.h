// The small interface through which a conversion run shows its progress and its errors.
// The progress window implements it with its labels, gauges and message boxes; the headless
// command with lines on stderr. Calls come in this order for each table:
//   tableStarted, recordLoopStarted, then per record pumpMessages + recordStarted, tableDone;
// errorBox may come at any point and ends the run once it returns.
#pragma once

#include <QString>

#include "engine/run_outcome.h"

namespace qar {

class RunObserver {
 public:
  virtual ~RunObserver() = default;

  // Table `slot` (1-based selection slot) is open on both sides; the source holds
  // sourceRecords records.
  virtual void tableStarted(int slot, const QString& table, int sourceRecords) = 0;
  // A record loop begins over recordCount source records (the record gauge's new maximum).
  virtual void recordLoopStarted(int recordCount) = 0;
  // Once per record, first of all: let pending events run (this is when Cancel, the close
  // box and timers can act). Must not touch the run's datasets.
  virtual void pumpMessages() = 0;
  // Record r (1-based) of the current table is next.
  virtual void recordStarted(int r) = 0;
  // Table `slot` is over (all records, or stopped by cancel); the total gauge moves to slot.
  virtual void tableDone(int slot, const TableSummary& summary) = 0;
  // A phase failed: show the fixed text, with the cause available as details. Returns when
  // the operator has dismissed it; the run then ends.
  virtual void errorBox(const QString& text, const QString& details) = 0;
};

}  // namespace qar
