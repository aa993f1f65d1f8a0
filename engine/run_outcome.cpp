// Fixed texts of the error boxes and the plain-text summary of a run (see run_outcome.h).
#include "engine/run_outcome.h"

namespace qar {

QString strategyName(TransferStrategy strategy) {
  switch (strategy) {
    case TransferStrategy::MergeOneKey: return QStringLiteral("merge on one key");
    case TransferStrategy::MergeTwoKeys: return QStringLiteral("merge on two keys");
    case TransferStrategy::PositionalRefresh: return QStringLiteral("positional refresh");
    case TransferStrategy::ReplaceAll: return QStringLiteral("replace all");
  }
  return {};
}

QString errorBoxText(RunFailure failure) {
  switch (failure) {
    case RunFailure::None: return {};
    case RunFailure::SourceConnect: return QStringLiteral("Source Database Connect failure!");
    case RunFailure::DestinationConnect:
      return QStringLiteral("Destination Database Connect failure!");
    case RunFailure::DestinationBackup: return QStringLiteral("Destination backup failed!");
    case RunFailure::TableNotFound: return QStringLiteral("Table Not Found!");
    case RunFailure::FieldsTransform: return QStringLiteral("Fields Transform Error!");
  }
  return {};
}

QString summaryText(const RunOutcome& outcome) {
  QString text;
  for (const TableSummary& t : outcome.tables) {
    text += QStringLiteral("%1 (%2): %3 read, %4 updated, %5 appended, %6 unchanged")
                .arg(t.name, strategyName(t.strategy))
                .arg(t.recordsRead)
                .arg(t.recordsUpdated)
                .arg(t.recordsAppended)
                .arg(t.recordsUnchanged);
    if (t.strategy == TransferStrategy::ReplaceAll)
      text += QStringLiteral(", %1 removed first").arg(t.recordsRemoved);
    text += QStringLiteral(", %1 s").arg(t.seconds, 0, 'f', 2);
    if (!t.finished) text += QStringLiteral(" (stopped)");
    text += QLatin1Char('\n');
  }
  if (outcome.tables.empty()) text += QStringLiteral("No table was converted.\n");
  if (!outcome.backupPath.isEmpty())
    text += QStringLiteral("Backup of the destination: %1\n").arg(outcome.backupPath);
  return text;
}

}  // namespace qar
