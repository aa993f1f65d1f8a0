// The journal beside a database file: before a flush overwrites pages it saves their old
// bytes there, and a flush cut short (a crash, a killed program, a full disk) is undone from
// it. Every open of a file passes through settleJournal, so no open reads a half-written flush.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/io/file.h"

namespace jet {

class Journal {
 public:
  // path "" means no journal (a memory file): flushes then write pages directly.
  explicit Journal(std::string path = {}) : path_(std::move(path)) {}
  static std::string pathFor(const std::string& databasePath) { return databasePath + "-journal"; }

  const std::string& path() const { return path_; }
  bool enabled() const { return !path_.empty(); }
  // Whether a journal file is there (left by a flush that did not finish, or one in progress).
  bool exists() const;

  // Saves the old bytes of `pages` (those inside the file's current length) and the file's
  // length, and syncs the journal. Afterwards the flush may overwrite those pages.
  void save(const File& file, uint32_t pageSize, const std::vector<uint32_t>& pages) const;
  // The flush is complete: the journal goes.
  void remove() const;
  // Puts back the pages of a finished journal and the file's old length, syncs, then removes
  // the journal (an unfinished one is removed without touching the file). Returns true when
  // pages were put back.
  bool rollback(File& file) const;

 private:
  static constexpr uint64_t kChunkBytes = 256 * 1024;  // journal bytes written at a time
  std::string path_;
};

// Opens a database file for access, first settling a journal an interrupted flush left:
//  - writers take the file's lock, then the flush lock, roll the journal back and go on;
//  - a reader that finds a journal opens the file for writing for a moment to do the same;
//    when it cannot (read-only file or folder, another writer holds it) the open is refused
//    with ErrorKind::InUse or ReadOnly, naming the journal and what to do.
// waitMs bounds the wait for the flush lock. rolledBack (optional) says whether pages were
// put back.
std::unique_ptr<File> openSettled(const std::string& path, FileAccess access, int waitMs, bool* rolledBack = nullptr);

}  // namespace jet
