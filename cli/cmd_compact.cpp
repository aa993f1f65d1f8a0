// qar26m-cli compact FILE [DEST]: a compacted copy of FILE at DEST; without DEST, FILE is
// compacted in place - the copy is written and checked beside it, FILE is kept as a backup
// named as the conversion names its backups, and the copy takes FILE's name.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <ostream>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include "cli/command.h"
#include "engine/backup.h"
#include "jet/error.h"
#include "jet/check/write_fitness.h"
#include "jet/compact/compactor.h"
#include "jet/database_impl.h"

namespace qar::cli {
namespace {

namespace fs = std::filesystem;

// The first backup name beside path that is not taken (name, name-2, name-3, ...).
std::string freeBackupName(const std::string& path) {
  const QString first = backupFileName(QString::fromStdString(path), QDateTime::currentDateTime());
  for (int attempt = 1; attempt < 1000; ++attempt) {
    QString candidate = first;
    if (attempt > 1) {
      const QFileInfo info(first);
      candidate = info.dir().filePath(info.completeBaseName() + QStringLiteral("-%1.").arg(attempt) + info.suffix());
    }
    if (!QFileInfo::exists(candidate)) return candidate.toStdString();
  }
  throw std::runtime_error("no free backup name beside " + path);
}

// A progress bar on standard error when it is a terminal (a step: one table out or back in).
void showProgress(size_t done, size_t total) {
  if (!::isatty(STDERR_FILENO) || total == 0) return;
  constexpr size_t kWidth = 30;
  const size_t filled = done * kWidth / total;
  std::fprintf(stderr, "\rcompacting [%s%s] %3zu%%", std::string(filled, '#').c_str(),
               std::string(kWidth - filled, ' ').c_str(), done * 100 / total);
  if (done == total) std::fputc('\n', stderr);
  std::fflush(stderr);
}

void printSummary(std::ostream& out, const jet::write::CompactionFigures& f) {
  out << "tables: " << f.tables << ", rows: " << f.rows << "\n";
  out << "before: " << f.pagesBefore << " pages, " << f.bytesBefore << " bytes\n";
  out << "after:  " << f.pagesAfter << " pages, " << f.bytesAfter << " bytes\n";
}

}  // namespace

int cmdCompact(const Args& args, std::ostream& out, std::ostream&) {
  ParsedArgs parsed = parseArgs(args, {});
  if (parsed.positional.empty() || parsed.positional.size() > 2) throw UsageError("expected FILE [DEST]");
  const std::string file = parsed.positional[0];
  if (parsed.positional.size() == 2) {
    const std::string dest = parsed.positional[1];
    if (fs::exists(dest)) throw std::runtime_error(dest + " exists already; it is not overwritten");
    printSummary(out, jet::write::compactCopy(file, dest, showProgress));
    out << "compacted copy: " << dest << "\n";
    return 0;
  }
  // In place: FILE is never half-written - it is renamed away whole, the checked copy renamed in.
  const fs::path target(file);
  const std::string copy = (target.parent_path() / (target.stem().string() + "-compacting.tmp")).string();
  if (fs::exists(copy)) throw std::runtime_error(copy + " exists (left by an earlier compaction?); remove it first");
  // The writer's lock is held while the copy is made, so no other program writes FILE meanwhile.
  for (const auto& d : jet::fileWritingDefects(file)) throw std::runtime_error(d);
  auto held = jet::openDatabaseFile(file, jet::OpenMode::ReadWrite);
  const jet::write::CompactionFigures figures = jet::write::compactCopy(file, copy, showProgress);
  held.reset();
  const std::string backup = freeBackupName(file);
  std::error_code ec;
  fs::rename(file, backup, ec);
  if (ec) {
    fs::remove(copy);
    throw std::runtime_error("cannot keep " + file + " as " + backup + ": " + ec.message() + "; nothing changed");
  }
  fs::rename(copy, file, ec);
  if (ec) {
    std::error_code back;
    fs::rename(backup, file, back);
    fs::remove(copy);
    throw std::runtime_error("cannot put the compacted copy in place of " + file + ": " + ec.message() +
                             "; the original is back");
  }
  printSummary(out, figures);
  out << "original kept as " << backup << "\n";
  return 0;
}

}  // namespace qar::cli
