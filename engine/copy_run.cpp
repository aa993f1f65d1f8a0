// The conversion run: connecting, the table loop, dispatch, error boxes (see copy_run.h).
#include "engine/copy_run.h"

#include <QElapsedTimer>

#include <algorithm>

#include "data/connection.h"
#include "data/query.h"
#include "jet/database.h"
#include "engine/backup.h"
#include "engine/catalogue.h"
#include "engine/preflight.h"
#include "engine/query_routines.h"
#include "engine/selection.h"
#include "engine/transfer.h"

namespace qar {

using data::TADOConnection;
using data::TADOQuery;

namespace {

const QString kProvider = QStringLiteral("Microsoft.Jet.OLEDB.4.0");

QString messageOf(const std::exception& e) { return QString::fromUtf8(e.what()); }

}  // namespace

CopyRun::CopyRun(RunObserver& observer, RunOptions options)
    : observer_(observer),
      options_(options),
      adcFrom_(std::make_unique<TADOConnection>()),
      adcTo_(std::make_unique<TADOConnection>()),
      adqFrom_(std::make_unique<TADOQuery>()),
      adqTo_(std::make_unique<TADOQuery>()) {
  adcFrom_->setLoginPrompt(false);
  adcFrom_->setProvider(kProvider);
  adcFrom_->setMode(data::cmShareDenyNone);

  adcTo_->setLoginPrompt(false);
  adcTo_->setProvider(kProvider);
  adcTo_->setConnectionTimeout(30);

  adqFrom_->setName(QStringLiteral("adqFrom"));
  adqFrom_->setConnection(adcFrom_.get());
  adqFrom_->setCursorType(data::ctStatic);

  adqTo_->setName(QStringLiteral("adqTo"));
  adqTo_->setConnection(adcTo_.get());
  adqTo_->setCursorType(data::ctStatic);
}

CopyRun::~CopyRun() { release(); }

void CopyRun::release() {
  // Queries first, then their connections; nothing here may stop the others.
  for (TADOQuery* query : {adqFrom_.get(), adqTo_.get()}) {
    try {
      query->Close();
    } catch (...) {
    }
  }
  for (TADOConnection* connection : {adcFrom_.get(), adcTo_.get()}) {
    try {
      connection->setConnected(false);
    } catch (...) {
    }
  }
}

void CopyRun::fail(RunOutcome& outcome, RunFailure failure, const QString& details) {
  outcome.status = RunStatus::Failed;
  outcome.failure = failure;
  outcome.errorText = errorBoxText(failure);
  outcome.errorDetails = details;
  observer_.errorBox(outcome.errorText, details);
}

RunOutcome CopyRun::run(const QString& sourcePath, const QString& destinationPath) {
  RunOutcome outcome;
  outcome.tablesSelected = SelectedCount;
  backupDone_ = false;

  try {
    adcFrom_->setConnected(false);
    adcTo_->setConnected(false);
    adcFrom_->setConnectionString(sourcePath);
    adcTo_->setConnectionString(destinationPath);
  } catch (const std::exception& e) {
    fail(outcome, RunFailure::SourceConnect, messageOf(e));
    return outcome;
  }

  try {
    adcFrom_->setConnected(true);
  } catch (const std::exception& e) {
    fail(outcome, RunFailure::SourceConnect,
         QStringLiteral("Source database \"%1\": %2").arg(sourcePath, messageOf(e)));
    return outcome;
  }
  // The source tables are read ahead, each while the one before it is carried over.
  QStringList selected;
  for (int slot = 1; slot <= SelectedCount; ++slot) selected << SelectedTables[size_t(slot)];
  adcFrom_->readAhead(selected);
  try {
    adcTo_->setConnected(true);
  } catch (const std::exception& e) {
    fail(outcome, RunFailure::DestinationConnect,
         QStringLiteral("Destination database \"%1\": %2").arg(destinationPath, messageOf(e)));
    return outcome;
  }

  // Before the backup or any write: is the destination fit to be written?
  try {
    PreflightTarget target{*adcFrom_, *adcTo_, destinationPath, {}, {}};
    jet::Database& to = adcTo_->readDatabase();
    for (int slot = 1; slot <= SelectedCount; ++slot) {
      const QString& name = SelectedTables[size_t(slot)];
      if (to.hasTable(name.toStdString())) target.tables << name;
    }
    const QString details = runPreflight(target);
    if (!details.isEmpty()) {
      fail(outcome, RunFailure::DestinationConnect, details);
      return outcome;
    }
  } catch (const std::exception& e) {
    fail(outcome, RunFailure::DestinationConnect,
         QStringLiteral("Destination database \"%1\": %2").arg(destinationPath, messageOf(e)));
    return outcome;
  }

  for (int slot = 1; slot <= SelectedCount; ++slot) {
    if (!runTable(outcome, slot, destinationPath)) return finish(outcome);
    if (CopyCancelled.load() && slot < SelectedCount) {
      outcome.status = RunStatus::Cancelled;
      return finish(outcome);
    }
  }
  return finish(outcome);
}

RunOutcome& CopyRun::finish(RunOutcome& outcome) {
  // The last table's records reach the file when its query closes; a failure there is the
  // run's failure, not something for release() to swallow.
  if (outcome.status == RunStatus::Failed || !adqTo_->Active()) return outcome;
  const QString table = outcome.tables.empty() ? QString() : outcome.tables.back().name;
  try {
    adqTo_->Close();
  } catch (const std::exception& e) {
    fail(outcome, RunFailure::FieldsTransform,
         QStringLiteral("Table %1 (writing the destination file): %2").arg(table, messageOf(e)));
  }
  return outcome;
}

bool CopyRun::runTable(RunOutcome& outcome, int slot, const QString& destinationPath) {
  const QString name = SelectedTables[size_t(slot)];
  QElapsedTimer clock;
  clock.start();

  // Opening phase.
  const char* side = "source";
  int sourceRecords = 0;
  try {
    SelectQuery(*adqFrom_, name);
    side = "destination";
    // A table about to be emptied is only looked for: its records would be read for nothing.
    if (tableRule(name).strategy == TransferStrategy::ReplaceAll)
      RequireTable(*adqTo_, name);
    else
      SelectQuery(*adqTo_, name);
    side = "source";
    sourceRecords = adqFrom_->RecordCount();
  } catch (const std::exception& e) {
    fail(outcome, RunFailure::TableNotFound,
         QStringLiteral("Table %1 (%2 database): %3").arg(name, QLatin1String(side), messageOf(e)));
    return false;
  }
  observer_.tableStarted(slot, name, sourceRecords);

  // Nothing has been written yet; keep a copy of the destination before anything is.
  if (options_.makeBackup && !backupDone_) {
    try {
      outcome.backupPath = makeDestinationBackup(destinationPath);
      backupDone_ = true;
    } catch (const std::exception& e) {
      fail(outcome, RunFailure::DestinationBackup, messageOf(e));
      return false;
    }
  }

  // Transfer phase.
  outcome.tables.push_back(TableSummary{});
  TableSummary& summary = outcome.tables.back();
  summary.name = name;
  const TableRule rule = tableRule(name);
  summary.strategy = rule.strategy;
  TableTransfer transfer(observer_, summary);
  bool finished = false;
  const char* stage = "";
  try {
    switch (summary.strategy) {
      case TransferStrategy::MergeOneKey:
        stage = "merging on one key";
        finished = transfer.UpdateQueryKey1(*adqFrom_, *adqTo_, rule.keyColumn);
        break;
      case TransferStrategy::PositionalRefresh:
        stage = "refreshing by position";
        finished = transfer.RecoverQuery(*adqFrom_, *adqTo_, rule.keyColumn);
        break;
      case TransferStrategy::MergeTwoKeys:
        stage = "merging on two keys";
        finished = transfer.UpdateQueryKey2(*adqFrom_, *adqTo_, rule.keyColumn, rule.secondKeyColumn);
        break;
      case TransferStrategy::ReplaceAll:
        stage = "emptying the destination table";
        summary.recordsRemoved = DeleteQuery(*adqTo_, name);
        stage = "reopening the destination table";
        SelectQuery(*adqTo_, name);
        stage = "appending";
        finished = transfer.AppendQuery(*adqFrom_, *adqTo_);
        break;
    }
  } catch (const std::exception& e) {
    summary.seconds = double(clock.nsecsElapsed()) / 1e9;
    fail(outcome, RunFailure::FieldsTransform,
         QStringLiteral("Table %1 (%2), %3: %4")
             .arg(name, QLatin1String(stage), transfer.position(), messageOf(e)));
    return false;
  }
  summary.finished = finished;
  summary.seconds = double(clock.nsecsElapsed()) / 1e9;
  observer_.tableDone(slot, summary);
  if (!finished) {
    outcome.status = RunStatus::Cancelled;
    return false;
  }
  return true;
}

}  // namespace qar
