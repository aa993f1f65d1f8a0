// One conversion run, free of any UI: connect the source and the destination, walk the
// table selection (slots 1 to SelectedCount), open each table on both sides, hand it to the
// strategy its name selects, and report through a RunObserver. Each phase's failure becomes
// one fixed error box, with the cause as details; the run then ends.
#pragma once

#include <QString>

#include <memory>

#include "engine/run_observer.h"
#include "engine/run_options.h"
#include "engine/run_outcome.h"

namespace qar::data {
class TADOConnection;
class TADOQuery;
}  // namespace qar::data

namespace qar {

class CopyRun {
 public:
  explicit CopyRun(RunObserver& observer, RunOptions options = {});
  ~CopyRun();
  CopyRun(const CopyRun&) = delete;
  CopyRun& operator=(const CopyRun&) = delete;

  // Runs the conversion of SelectedTables[1..SelectedCount] from sourcePath into
  // destinationPath. Never raises: every failure is an error box and the outcome says which.
  // The source is only read. The connections stay open until release().
  RunOutcome run(const QString& sourcePath, const QString& destinationPath);

  // Closes both queries and drops both connections; safe to call more than once.
  // Failures here are swallowed, as nothing more can be done about them.
  void release();

  // The run's dataset objects (source: adcFrom/adqFrom, destination: adcTo/adqTo).
  data::TADOConnection& adcFrom() { return *adcFrom_; }
  data::TADOConnection& adcTo() { return *adcTo_; }
  data::TADOQuery& adqFrom() { return *adqFrom_; }
  data::TADOQuery& adqTo() { return *adqTo_; }

 private:
  // Shows the phase's box with details and records the failure in outcome.
  void fail(RunOutcome& outcome, RunFailure failure, const QString& details);
  // Writes what the destination query still holds; a failure there fails the run.
  RunOutcome& finish(RunOutcome& outcome);
  // Runs table `slot`; false when the run must end (failure or cancel).
  bool runTable(RunOutcome& outcome, int slot, const QString& destinationPath);

  RunObserver& observer_;
  RunOptions options_;
  std::unique_ptr<data::TADOConnection> adcFrom_;
  std::unique_ptr<data::TADOConnection> adcTo_;
  std::unique_ptr<data::TADOQuery> adqFrom_;
  std::unique_ptr<data::TADOQuery> adqTo_;
  bool backupDone_ = false;
};

}  // namespace qar
