// The writer's access to pages: every change of one operation is recorded so a failing
// operation can put the pages back; new pages are the lowest free pages of the database's
// page map (page 1), or come from the end of the file, and are marked used there; flush() has
// the pager write through its journal so the file on disk is never left half-updated, and
// cuts off the free pages at the end of the file.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "jet/format/types.h"
#include "jet/pager/pager.h"
#include "jet/write/data_page_writer.h"

namespace jet::write {

class WriteContext {
 public:
  WriteContext(Pager& pager, Format format);

  const PageSpec& blueprint() const { return spec_; }
  Pager& pager() { return pager_; }

  const uint8_t* read(uint32_t page);
  // Writable bytes of a page; its old bytes are kept until the operation ends.
  uint8_t* modify(uint32_t page);
  // The same for a change the caller confines to these byte ranges (offset, length) of the
  // page: only their old bytes are kept, unless the operation changes the page more widely
  // later (through modify, which then keeps the rest as well).
  struct ByteRange {
    uint32_t offset, length;
  };
  uint8_t* modifyWithin(uint32_t page, std::initializer_list<ByteRange> ranges);
  // A new zero-filled page, marked used in the page map: the lowest page the map lists as
  // free, else a new page at the end of the file.
  uint32_t allocate();
  // Whether the page map lists the page as free (pages it does not reach count as not free).
  bool isFreeInMap(uint32_t page);
  // Where the pages some object still names come from (read once per session, when a free
  // page is first wanted): such pages are never taken or cut off, even when the page map
  // lists them as free. When it throws, no free page is reused in this session (the file
  // grows instead). Without a source every free page is taken.
  void setClaimedPagesSource(std::function<std::vector<uint32_t>()> source) {
    claimedSource_ = std::move(source);
    claimedLoaded_ = false;
  }
  // Reads the claims now: before a pass that takes every table's rows out (and the catalog's
  // with them) and only then wants free pages.
  void readClaimsNow() {
    claimedLoaded_ = false;
    stillClaimed(0);
  }
  // Marks a page free in the page map and clears its header (it no longer belongs to anyone).
  void release(uint32_t page);

  // One operation: a failure between begin and commit is undone by rollback(). Operations
  // nest; only the outermost one keeps the old bytes, so rolling back an inner one undoes
  // the whole outer operation (callers rethrow).
  void begin();
  void commit();
  void rollback();
  // For a file that is thrown away when any write fails (a compaction's copy): operations
  // keep no old bytes, so a rollback leaves the pages as they stand and the file must not
  // be flushed after it.
  void keepNoUndo() { keepUndo_ = false; }
  // Inside an operation: fn runs if the outermost operation is rolled back (to restore state
  // kept outside the pages, such as counters held in memory).
  void onRollback(std::function<void()> fn) {
    if (depth_ > 0) rollbackHooks_.push_back(std::move(fn));
  }

  // Writes every change to the file through the pager's journalled flush (see Pager::flush).
  // When writing the file fails, the file is as before, every unwritten change is dropped,
  // and the error is rethrown; when another open's flush lock could not be had, nothing is
  // written and the changes are kept for the next flush.
  void flush();
  // Called before each flush writes anything (e.g. to store counters kept in memory).
  void addBeforeFlush(std::function<void()> hook) { beforeFlush_.push_back(std::move(hook)); }
  // Called after a failed flush dropped the changes (cached state must be read again).
  void addAfterDiscard(std::function<void()> hook) { afterDiscard_.push_back(std::move(hook)); }

 private:
  void globalMapSet(uint32_t page, bool freePage);
  // The lowest free page of the map from freeSearchFrom_ on, taken and zeroed; 0 when none.
  uint32_t takeFreePage();
  // Whether a page the map lists as free is still named by some object (see above).
  bool stillClaimed(uint32_t page);
  // How many pages the file keeps once the free pages at its end are cut off.
  uint32_t trimmedPageCount();
  // Moves a bitmap page of the page map to its lowest free page; false when it cannot.
  bool moveMapPageDown(uint32_t page);

  Pager& pager_;
  PageSpec spec_;
  bool inOperation_ = false;
  bool keepUndo_ = true;
  bool undoneWithoutUndo_ = false;  // a rollback without old bytes: nothing may be flushed
  int depth_ = 0;
  uint32_t opStartPages_ = 0;
  // Old bytes of the pages this operation changed: the first undoCount_ entries are in use;
  // their buffers are kept for the next operation (most operations touch one or two pages).
  struct UndoImage {
    uint32_t page = 0;
    std::vector<uint8_t> bytes;    // the whole page, or the old bytes of ranges, one after another
    std::vector<ByteRange> ranges;  // empty: bytes is the whole page
  };
  std::vector<UndoImage> undo_;
  size_t undoCount_ = 0;
  size_t partialImages_ = 0;  // images of this operation that keep some ranges only
  UndoImage& newImage(uint32_t page);
  // Keeps the page's old bytes (all of them, or those of ranges) before its first change in
  // the operation; a page kept in part is widened to the whole.
  void keepOldBytes(uint32_t page, std::initializer_list<ByteRange> ranges);
  // undoStamp_[page] == opSerial_ when this operation already keeps the page's old bytes (one
  // look-up however many pages an operation touches; a new serial forgets them all at once).
  std::vector<uint32_t> undoStamp_;
  uint32_t opSerial_ = 0;
  bool hasUndo(uint32_t page) const { return page < undoStamp_.size() && undoStamp_[page] == opSerial_; }
  uint32_t freeSearchFrom_ = 0;  // no page below this one is free in the map
  // By page: marked free in the map since the last flush, so perhaps in use in the file as it
  // stands (a page taken that was free at the last flush needs no old bytes in the journal).
  std::vector<bool> freedSinceFlush_;
  std::function<std::vector<uint32_t>()> claimedSource_;
  bool claimedLoaded_ = false;
  bool claimedUnknown_ = false;     // the source failed: every free page counts as claimed
  std::vector<bool> claimed_;       // by page; a page released since loading is no longer
  std::vector<std::function<void()>> rollbackHooks_;
  std::vector<std::function<void()>> beforeFlush_;
  std::vector<std::function<void()>> afterDiscard_;
};

// Raises ErrorKind::Invalid / Io with the operation undone: runs fn inside begin/commit.
template <typename Fn>
auto inOperation(WriteContext& ctx, Fn&& fn) {
  ctx.begin();
  try {
    if constexpr (std::is_void_v<decltype(fn())>) {
      fn();
      ctx.commit();
    } else {
      auto result = fn();
      ctx.commit();
      return result;
    }
  } catch (...) {
    ctx.rollback();
    throw;
  }
}

}  // namespace jet::write
