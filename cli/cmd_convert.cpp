// qar26m-cli convert SOURCE DESTINATION [--tables all|NAME[,NAME...]] [--no-backup]:
// the conversion run without a window. Progress goes to stderr (a live bar on a terminal,
// one line per table otherwise), the per-table summary to stdout. Ctrl+C cancels as the
// progress window's Cancel does. Exit 0 completed, 1 failed, 3 cancelled, 2 usage error.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <ostream>

#include <unistd.h>

#include "base/exception.h"
#include "cli/command.h"
#include "engine/catalogue.h"
#include "engine/copy_run.h"
#include "engine/selection.h"

namespace qar::cli {

namespace {

extern "C" void onInterrupt(int) {
  // Lock-free atomic store: safe in a signal handler. The handler is one-shot, so a second
  // Ctrl+C ends the process the usual way.
  CopyCancelled.store(true);
}

// Restores the previous SIGINT handling when the run is over.
class InterruptGuard {
 public:
  InterruptGuard() {
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    installed_ = sigaction(SIGINT, &action, &previous_) == 0;
  }
  ~InterruptGuard() {
    if (installed_) sigaction(SIGINT, &previous_, nullptr);
  }

 private:
  struct sigaction previous_ = {};
  bool installed_ = false;
};

class ConsoleProgress : public RunObserver {
 public:
  ConsoleProgress(std::ostream& err, bool live) : err_(err), live_(live) {}

  void tableStarted(int slot, const QString& table, int sourceRecords) override {
    table_ = table.toStdString();
    slot_ = slot;
    count_ = sourceRecords;
    shownPercent_ = -1;
    if (live_) drawBar(0);
  }
  void recordLoopStarted(int recordCount) override { count_ = recordCount; }
  void pumpMessages() override {}
  void recordStarted(int r) override {
    if (!live_) return;
    const int percent = count_ > 0 ? int(int64_t(r) * 100 / count_) : 100;
    if (percent != shownPercent_) drawBar(r);
  }
  void tableDone(int slot, const TableSummary& summary) override {
    if (live_) {
      drawBar(summary.recordsRead);
      err_ << "\n";
    } else {
      err_ << "[" << slot << "/" << SelectedCount << "] " << table_ << ": " << summary.recordsRead
           << " of " << count_ << " records (" << strategyName(summary.strategy).toStdString() << ")"
           << (summary.finished ? "" : ", stopped") << "\n";
    }
    err_.flush();
  }
  void errorBox(const QString& text, const QString& details) override {
    if (live_ && shownPercent_ >= 0) err_ << "\n";
    err_ << "Error Message: " << text.toStdString() << "\n";
    if (!details.isEmpty()) err_ << "  " << details.toStdString() << "\n";
    err_.flush();
  }

 private:
  void drawBar(int r) {
    constexpr int kWidth = 30;
    const int percent = count_ > 0 ? int(int64_t(r) * 100 / count_) : 100;
    shownPercent_ = percent;
    const int filled = percent * kWidth / 100;
    err_ << "\r[" << slot_ << "/" << SelectedCount << "] " << table_ << " ["
         << std::string(size_t(filled), '#') << std::string(size_t(kWidth - filled), '.') << "] "
         << percent << "% " << r << "/" << count_ << "\x1b[K";
    err_.flush();
  }

  std::ostream& err_;
  bool live_;
  std::string table_;
  int slot_ = 0;
  int count_ = 0;
  int shownPercent_ = -1;
};

QStringList chosenTables(const ParsedArgs& parsed) {
  const std::string* tables = parsed.option("tables");
  if (!tables) return orderedSelection(defaultTables());
  if (*tables == "all") {
    QStringList all;
    for (const CatalogueEntry& entry : TableCatalogue) all << QString::fromLatin1(entry.name);
    return all;
  }
  QStringList names;
  for (const QString& name : QString::fromStdString(*tables).split(QLatin1Char(','))) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) throw UsageError("--tables: empty table name in '" + *tables + "'");
    names << trimmed;
  }
  try {
    return orderedSelection(names);
  } catch (const Exception& e) {
    throw UsageError(std::string("--tables: ") + e.what() + " (names are case-sensitive; see the catalogue)");
  }
}

}  // namespace

int cmdConvert(const Args& args, std::ostream& out, std::ostream& err) {
  const ParsedArgs parsed = parseArgs(args, {"tables"}, {"no-backup"});
  if (parsed.positional.size() != 2) throw UsageError("expected a source and a destination database file");
  const QStringList tables = chosenTables(parsed);

  clearSelection();
  for (const QString& name : tables) addSelectedTable(name);
  RunOptions options;
  options.makeBackup = parsed.option("no-backup") == nullptr;
  CopyCancelled = false;
  resetSearchOptions();

  const bool live = &err == &std::cerr && isatty(STDERR_FILENO);
  ConsoleProgress progress(err, live);
  RunOutcome outcome;
  {
    InterruptGuard guard;
    CopyRun run(progress, options);
    outcome = run.run(QString::fromStdString(parsed.positional[0]),
                      QString::fromStdString(parsed.positional[1]));
    run.release();
  }

  out << summaryText(outcome).toStdString();
  switch (outcome.status) {
    case RunStatus::Completed: return 0;
    case RunStatus::Failed: return 1;
    case RunStatus::Cancelled:
      err << "Cancelled.\n";
      return 3;
  }
  return 1;
}

}  // namespace qar::cli
