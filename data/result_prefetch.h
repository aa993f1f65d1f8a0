// Reading tables ahead: a worker thread with its own read-only open of a database file reads
// the named tables, in the order given, into results, keeping at most one finished result
// ahead of the reader. A query opening "Select * From T" on the same file takes T's result
// instead of reading the table itself, so a run reads its next source table while it writes
// the current one.
//
// Only an aid: whatever goes wrong on the worker (a missing table, damage, a journal, the
// file changed since) leaves take() empty, and the query reads the table itself as it always
// would, reporting what it finds then. A result is handed over only for the table it was
// read for, from the same table definition, with the file's length and modification time
// unchanged since it was read; and only when the file was last modified well before the
// worker began reading, as a write within the same tick of the file system's clock would
// leave the time as it was.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "data/resultstore.h"

namespace qar::data {

class ResultPrefetch {
 public:
  // Starts the worker on path (the tables' names as the catalog spells them, any case).
  ResultPrefetch(std::string path, std::vector<std::string> tables);
  // Stops the worker (between two rows at the latest) and waits for it.
  ~ResultPrefetch();
  ResultPrefetch(const ResultPrefetch&) = delete;
  ResultPrefetch& operator=(const ResultPrefetch&) = delete;

  // Whether `table` is the next table in line (reading ahead is of no more use once a table
  // is opened out of order).
  bool isNext(const std::string& table);
  // The result of the next table in line: waits for the worker to finish reading it.
  // definitionPage and kinds are those of the table as the caller sees it; a result read from
  // another definition is not handed over. Empty when the worker could not read the table,
  // or not so that a write since would show (the file had changed just before).
  std::optional<ResultStore> takeNext(uint32_t definitionPage, const std::vector<jet::ColumnKind>& kinds);

 private:
  struct Slot {
    bool ready = false;
    bool read = false;  // false: the worker could not read the table
    uint32_t definitionPage = 0;
    ResultStore store;
    int64_t modifiedNs = 0;
    uint64_t size = 0;
  };
  static constexpr int64_t kSettledNs = 50'000'000;  // how long ago the file must have changed
  static constexpr size_t kCachedPages = 256;         // each table is read once, page by page
  void work();
  // The file's modification time and length; false when they cannot be had.
  bool fileStamp(int64_t& modifiedNs, uint64_t& size) const;

  const std::string path_;
  const std::vector<std::string> tables_;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t next_ = 0;  // the table take() hands over next
  Slot slot_;        // its result, once ready
  bool stop_ = false;
  bool workerDone_ = false;
  std::thread worker_;
};

}  // namespace qar::data
