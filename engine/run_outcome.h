// What a conversion run tells its caller when it returns: how it ended (completed, failed
// with which error box, cancelled), what each table it touched went through, and the name of
// the destination's backup. The main window builds its closing message from this; the
// headless command prints it.
#pragma once

#include <QString>

#include <vector>

namespace qar {

// How a table's records find their place in the destination (chosen by the table's name).
enum class TransferStrategy {
  MergeOneKey,        // UpdateQueryKey1 on column 0
  MergeTwoKeys,       // UpdateQueryKey2 on columns 0 and 1
  PositionalRefresh,  // RecoverQuery on a test column
  ReplaceAll,         // DeleteQuery, then AppendQuery
};
QString strategyName(TransferStrategy strategy);  // "merge on one key", ...

enum class RunStatus { Completed, Failed, Cancelled };

// Which error box ended a failed run. Each has one fixed text (errorBoxText).
enum class RunFailure {
  None,
  SourceConnect,       // "Source Database Connect failure!"
  DestinationConnect,  // "Destination Database Connect failure!"
  DestinationBackup,   // "Destination backup failed!"
  TableNotFound,       // "Table Not Found!"
  FieldsTransform,     // "Fields Transform Error!"
};
QString errorBoxText(RunFailure failure);  // empty for None

struct TableSummary {
  QString name;
  TransferStrategy strategy = TransferStrategy::ReplaceAll;
  int recordsRead = 0;       // source records whose body ran (or began to run)
  int recordsUpdated = 0;    // destination records edited and posted
  int recordsAppended = 0;   // destination records appended and posted
  int recordsUnchanged = 0;  // source records that wrote nothing (blank test column)
  int recordsRemoved = 0;    // destination records deleted before a replace-all
  double seconds = 0;
  bool finished = false;     // every source record was carried over
};

struct RunOutcome {
  RunStatus status = RunStatus::Completed;
  RunFailure failure = RunFailure::None;
  QString errorText;     // the error box's fixed text (errorBoxText(failure))
  QString errorDetails;  // the cause: table, record number, column, the engine's message
  QString backupPath;    // the destination's copy made before the first write; empty if none
  int tablesSelected = 0;
  // One entry per table that was opened on both sides, in processing order.
  std::vector<TableSummary> tables;

  bool completed() const { return status == RunStatus::Completed; }
};

// Plain text, one line per table plus the backup line, for message details and stdout.
QString summaryText(const RunOutcome& outcome);

}  // namespace qar
