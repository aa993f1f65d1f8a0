// The page cache: reads fixed-size pages from a File, keeps recently used ones, tracks pages
// the writer changed and writes them back on flush, through its journal and under the
// exclusive flush lock. Readers of a file opened read-only read inside a ReadScope, under the
// shared flush lock, so they never see half of another open's flush. It never looks inside
// a page. Page size is 2048 bytes in Jet 3 files and 4096 in Jet 4 files.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "jet/io/file.h"
#include "jet/pager/journal.h"

namespace jet {

struct ReadLock {
  File* file = nullptr;  // null once the pager is gone
  int depth = 0;         // read scopes open
  bool held = false;     // the shared flush lock, taken by the scopes' first page load
  bool stamped = false;
  FileStamp stamp;
};

struct Page {
  uint32_t number = 0;
  std::vector<uint8_t> bytes;  // exactly pageSize bytes
  const uint8_t* data() const { return bytes.data(); }
  size_t size() const { return bytes.size(); }
};

// A page held by a reader. Stays valid (and keeps its bytes) however the cache changes;
// a page the writer modifies afterwards shows the modification through the same ref.
using PageRef = std::shared_ptr<const Page>;

class Pager {
 public:
  // cacheLimit: how many clean pages to keep; dirty pages are kept until flush or discard.
  Pager(File& file, uint32_t pageSize, size_t cacheLimit = 4096);
  ~Pager();
  Pager(const Pager&) = delete;
  Pager& operator=(const Pager&) = delete;

  uint32_t pageSize() const { return pageSize_; }
  // Pages in the file plus pages appended and not yet flushed. A partial page at the end of
  // the file does not count.
  uint32_t pageCount() const { return pageCount_; }
  File& file() { return file_; }
  bool writable() const { return file_.writable(); }
  // How many clean pages to keep from now on (at least 8); a pass that reads a file several
  // times (a structure check, a compaction) keeps the whole file with pageCount().
  void setCacheLimit(size_t pages) {
    cacheLimit_ = pages < 8 ? 8 : pages;
    evictClean();
  }

  // The page's bytes. A page number past the end is ErrorKind::Corrupt naming the page.
  PageRef read(uint32_t pageNumber);
  // The same bytes without a reference: valid until the next read, modify or append (for a
  // caller that is done with them before it asks for another page).
  const uint8_t* peek(uint32_t pageNumber);

  // Writable bytes of a page; the page becomes dirty and stays in the cache until flush().
  uint8_t* modify(uint32_t pageNumber);
  // Adds a zero-filled page at the end (dirty) and returns its number.
  uint32_t append();
  bool isDirty(uint32_t pageNumber) const { return dirty_.count(pageNumber) != 0; }
  // Changes with every modify(), append(), discard() and dropAppendedFrom(): what a reader
  // decoded from pages at one version still holds while the version stays the same.
  uint64_t version() const { return version_; }
  bool hasDirtyPages() const { return !dirty_.empty(); }

  // Where flushes save the old bytes of the pages they overwrite (none by default).
  void setJournal(Journal journal) { journal_ = std::move(journal); }
  // The page was free in the file's page map at the last flush (the caller knows the map):
  // what it held then matters to no one, so the next flush saves none of its old bytes. A
  // flush cut short leaves such a page free again with whatever it holds. Forgotten at every
  // flush and discard.
  void oldBytesUnneeded(uint32_t pageNumber) {
    if (pageNumber >= filePages_) return;
    if (unneeded_.size() < filePages_) unneeded_.resize(filePages_, false);
    unneeded_[pageNumber] = true;
  }
  const Journal& journal() const { return journal_; }
  // How long a flush or a read waits for another open's flush lock before giving up.
  void setLockWait(int ms) { lockWaitMs_ = ms; }

  // Runs the flush hooks (which may still modify pages), then, holding the exclusive flush
  // lock: saves the old bytes of the pages about to be overwritten in the journal, writes
  // every dirty page in page order, syncs the file and removes the journal.
  // When the lock cannot be had in time: ErrorKind::InUse, nothing written, changes kept.
  // When writing fails: the file is put back as it was, every unwritten change is dropped
  // (as by discard()) and the error is rethrown.
  void flush();
  // Test hook: called with each page number just before the flush writes it.
  std::function<void(uint32_t)> beforePageWrite;

  // A read of a file opened read-only: from the first page it loads from the file until it
  // ends, it holds the shared flush lock (nested scopes share the outermost one). A read
  // served from cached pages alone takes no lock: those pages are one consistent state of the
  // file. ErrorKind::InUse when another open wrote the file since the pages cached so far
  // were read (what was decoded then may no longer hold: open it again) or when a journal left
  // by a cut-short flush is there. No-op for a writable file.
  class ReadScope {
   public:
    explicit ReadScope(Pager& pager);
    ~ReadScope();
    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;

   private:
    std::shared_ptr<struct ReadLock> lock_;
  };

  // Forgets every change since the last flush: dirty pages are dropped and re-read from the
  // file when next asked for, appended pages disappear.
  void discard();
  // Forgets the pages appended since the last flush from page number first on (an undone
  // write gives back the pages it took). Pages already in the file are not affected.
  void dropAppendedFrom(uint32_t first);
  // Ends the file at page `pages` (below pageCount()): later pages and their changes are
  // forgotten now, and the next flush() cuts the file there. discard() undoes it.
  void cutTo(uint32_t pages);
  // Called at the start of every flush(), in the order added (e.g. to write back counters).
  void addFlushHook(std::function<void()> hook) { flushHooks_.push_back(std::move(hook)); }

 private:
  const std::shared_ptr<Page>& load(uint32_t pageNumber);
  void forgetLast() {
    last_.reset();
    lastDirty_ = false;
  }
  // Takes the shared flush lock for the read scopes open, before a page is read from the file.
  void lockForReading();
  void touch(uint32_t pageNumber);
  void evictClean();
  // Forgets pages first.. (dirty or cached) and ends the page count there.
  void forgetFrom(uint32_t first);
  // Writes the dirty pages in page order, each run of consecutive pages at once.
  void writeDirtyPages();

  File& file_;
  uint32_t pageSize_;
  size_t cacheLimit_;
  uint32_t filePages_;  // pages on disk
  uint32_t pageCount_;  // including appended pages
  uint64_t version_ = 0;
  std::unordered_map<uint32_t, std::shared_ptr<Page>> cache_;
  std::list<uint32_t> lru_;  // most recently used at the front
  std::unordered_map<uint32_t, std::list<uint32_t>::iterator> lruPos_;
  std::map<uint32_t, std::shared_ptr<Page>> dirty_;
  // The page loaded last (the front of lru_): asking for it again skips the look-ups;
  // lastDirty_ when it is among the dirty pages as well.
  std::shared_ptr<Page> last_;
  bool lastDirty_ = false;
  // Buffers of evicted pages nothing else held, used again for the next pages read.
  static constexpr size_t kSparePages = 16;
  std::vector<std::vector<uint8_t>> spare_;
  static constexpr size_t kWriteRunBytes = 256 * 1024;  // the longest single write of a flush
  std::vector<uint8_t> runBuffer_;
  std::vector<std::function<void()>> flushHooks_;
  Journal journal_;
  std::vector<bool> unneeded_;  // by page: no old bytes to save (see oldBytesUnneeded)
  int lockWaitMs_ = 15000;
  // The shared flush lock of readers; read scopes share it, so one that outlives the pager
  // (a cursor kept past its database) finds the file gone and has nothing to let go.
  std::shared_ptr<struct ReadLock> readLock_;
};

}  // namespace jet
