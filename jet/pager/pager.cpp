// Page cache with least-recently-used eviction of clean pages, journalled dirty-page
// write-back under the exclusive flush lock, and readers' scopes under the shared one.
#include "jet/pager/pager.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "jet/error.h"

namespace jet {

Pager::Pager(File& file, uint32_t pageSize, size_t cacheLimit)
    : file_(file),
      pageSize_(pageSize),
      cacheLimit_(cacheLimit < 8 ? 8 : cacheLimit),
      readLock_(std::make_shared<ReadLock>(ReadLock{&file, 0, false, false, {}})) {
  uint64_t pages = file_.size() / pageSize_;
  if (pages > 0xFFFFFFFFull) throw Error(ErrorKind::Unsupported, file_.name() + ": file too large");
  filePages_ = static_cast<uint32_t>(pages);
  pageCount_ = filePages_;
}

Pager::~Pager() { readLock_->file = nullptr; }

void Pager::touch(uint32_t pageNumber) {
  auto it = lruPos_.find(pageNumber);
  if (it != lruPos_.end()) {
    lru_.splice(lru_.begin(), lru_, it->second);  // moves the node; nothing allocated
    return;
  }
  lru_.push_front(pageNumber);
  lruPos_.emplace(pageNumber, lru_.begin());
}

void Pager::evictClean() {
  // Only clean pages count against the limit; dirty pages stay until flush. The page used
  // last (the list's front) is never the victim, so a page just read survives its reader.
  size_t clean = cache_.size() - dirty_.size();
  auto it = lru_.end();
  while (clean > cacheLimit_ && it != lru_.begin()) {
    --it;
    if (it == lru_.begin()) break;
    uint32_t victim = *it;
    if (dirty_.count(victim)) {
      // Dirty pages leave the list until flush() makes them clean again.
      lruPos_.erase(victim);
      it = lru_.erase(it);
      continue;
    }
    auto cached = cache_.find(victim);
    if (last_ == cached->second) forgetLast();
    // A page no reader holds any more leaves its buffer to the next page read.
    if (cached->second.use_count() == 1 && spare_.size() < kSparePages) {
      spare_.push_back(std::move(cached->second->bytes));
    }
    cache_.erase(cached);
    lruPos_.erase(victim);
    it = lru_.erase(it);
    --clean;
  }
}

const std::shared_ptr<Page>& Pager::load(uint32_t pageNumber) {
  if (pageNumber >= pageCount_) {
    throw Error(ErrorKind::Corrupt, "page " + std::to_string(pageNumber) + " is past the end of the file (" +
                                        std::to_string(pageCount_) + " pages)");
  }
  // The page asked for last is the front of the recently-used list already.
  if (last_ && last_->number == pageNumber) return last_;
  lastDirty_ = false;
  auto it = cache_.find(pageNumber);
  if (it != cache_.end()) {
    touch(pageNumber);
    last_ = it->second;
    return last_;
  }
  auto page = std::make_shared<Page>();
  if (!spare_.empty()) {
    page->bytes = std::move(spare_.back());
    spare_.pop_back();
  } else {
    page->bytes.resize(pageSize_);
  }
  page->number = pageNumber;
  if (pageNumber < filePages_) {
    if (readLock_->depth > 0 && !readLock_->held) lockForReading();
    file_.readAt(static_cast<uint64_t>(pageNumber) * pageSize_, page->bytes.data(), pageSize_);
  } else {
    std::fill(page->bytes.begin(), page->bytes.end(), uint8_t{0});
  }
  cache_[pageNumber] = page;
  touch(pageNumber);
  last_ = std::move(page);
  evictClean();
  return last_;
}

PageRef Pager::read(uint32_t pageNumber) { return load(pageNumber); }

const uint8_t* Pager::peek(uint32_t pageNumber) { return load(pageNumber)->data(); }

uint8_t* Pager::modify(uint32_t pageNumber) {
  if (!file_.writable()) throw Error(ErrorKind::ReadOnly, file_.name() + " is open for reading only");
  const std::shared_ptr<Page>& page = load(pageNumber);
  ++version_;
  if (!lastDirty_) {
    dirty_.try_emplace(pageNumber, page);  // a page already dirty is the same page
    lastDirty_ = true;
  }
  return page->bytes.data();
}

uint32_t Pager::append() {
  if (!file_.writable()) throw Error(ErrorKind::ReadOnly, file_.name() + " is open for reading only");
  if (pageCount_ == 0xFFFFFFFFu) throw Error(ErrorKind::Invalid, file_.name() + ": no page numbers left");
  uint32_t number = pageCount_++;
  ++version_;
  auto page = std::make_shared<Page>();
  page->number = number;
  page->bytes.assign(pageSize_, 0);
  cache_[number] = page;
  touch(number);
  dirty_[number] = page;
  last_ = std::move(page);
  lastDirty_ = true;
  return number;
}

void Pager::flush() {
  for (auto& hook : flushHooks_) hook();
  const bool cut = pageCount_ < filePages_;
  if (dirty_.empty() && !cut) return;
  file_.lockFlush(FlushLock::Exclusive, lockWaitMs_);
  const uint64_t oldSize = file_.size();
  bool journalled = false;
  try {
    if (journal_.enabled()) {
      std::vector<uint32_t> pages;
      pages.reserve(dirty_.size() + (cut ? filePages_ - pageCount_ : 0));
      auto needed = [&](uint32_t p) { return p >= unneeded_.size() || !unneeded_[p]; };
      for (auto& entry : dirty_) {
        if (needed(entry.first)) pages.push_back(entry.first);
      }
      // Pages cut off the end keep their old bytes in the journal like any other change.
      for (uint32_t p = pageCount_; p < filePages_; ++p) {
        if (needed(p)) pages.push_back(p);
      }
      journal_.save(file_, pageSize_, pages);
      journalled = true;
    }
    writeDirtyPages();
    if (cut) file_.truncate(static_cast<uint64_t>(pageCount_) * pageSize_);
    file_.sync();
    if (journalled) journal_.remove();
  } catch (...) {
    // Put the file back as it was and forget the changes.
    try {
      if (journalled) {
        journal_.rollback(file_);
      } else if (file_.size() != oldSize) {
        file_.truncate(oldSize);
      }
    } catch (...) {
      // The journal stays beside the file; the next open puts the pages back.
    }
    file_.unlockFlush();
    discard();
    throw;
  }
  file_.unlockFlush();
  for (auto& [number, page] : dirty_) {
    if (!lruPos_.count(number)) {
      lru_.push_back(number);
      lruPos_[number] = std::prev(lru_.end());
    }
  }
  dirty_.clear();
  unneeded_.clear();
  lastDirty_ = false;
  filePages_ = pageCount_;
  evictClean();
}

void Pager::writeDirtyPages() {
  // Runs of consecutive pages go out in one write through a buffer kept for the next flush.
  const size_t runPages = std::max<size_t>(1, kWriteRunBytes / pageSize_);
  if (dirty_.size() > 1 && runBuffer_.size() < runPages * pageSize_) runBuffer_.resize(runPages * pageSize_);
  auto it = dirty_.begin();
  while (it != dirty_.end()) {
    const uint32_t first = it->first;
    size_t count = 0;
    auto end = it;
    while (end != dirty_.end() && end->first == first + count && count < runPages) ++end, ++count;
    for (auto p = it; p != end; ++p) {
      if (beforePageWrite) beforePageWrite(p->first);
    }
    const uint64_t offset = static_cast<uint64_t>(first) * pageSize_;
    if (count == 1) {
      file_.writeAt(offset, it->second->bytes.data(), pageSize_);
    } else {
      uint8_t* at = runBuffer_.data();
      for (auto p = it; p != end; ++p, at += pageSize_) std::memcpy(at, p->second->bytes.data(), pageSize_);
      file_.writeAt(offset, runBuffer_.data(), count * pageSize_);
    }
    it = end;
  }
}

void Pager::forgetFrom(uint32_t first) {
  ++version_;
  forgetLast();
  for (uint32_t number = first; number < pageCount_; ++number) {
    dirty_.erase(number);
    cache_.erase(number);
    auto pos = lruPos_.find(number);
    if (pos != lruPos_.end()) {
      lru_.erase(pos->second);
      lruPos_.erase(pos);
    }
  }
  if (first < pageCount_) pageCount_ = first;
}

void Pager::dropAppendedFrom(uint32_t first) { forgetFrom(first < filePages_ ? filePages_ : first); }

void Pager::cutTo(uint32_t pages) {
  if (pages < pageCount_) forgetFrom(pages);
}

void Pager::discard() {
  ++version_;
  forgetLast();
  for (auto& [number, page] : dirty_) {
    cache_.erase(number);
    auto pos = lruPos_.find(number);
    if (pos != lruPos_.end()) {
      lru_.erase(pos->second);
      lruPos_.erase(pos);
    }
  }
  dirty_.clear();
  unneeded_.clear();
  pageCount_ = filePages_;
}

Pager::ReadScope::ReadScope(Pager& pager) {
  if (pager.file_.writable()) return;
  ++pager.readLock_->depth;
  lock_ = pager.readLock_;
}

void Pager::lockForReading() {
  ReadLock& lock = *readLock_;
  file_.lockFlush(FlushLock::Shared, lockWaitMs_);
  try {
    // Under the shared lock a journal is never one in progress: its flush was cut short. A
    // journal can only have appeared since the last look if the file changed, which the stamp
    // tells; the first look is at the open.
    if (!lock.stamped && journal_.exists()) {
      throw Error(ErrorKind::InUse, file_.name() + ": a write by another program was cut short; its journal " +
                                        journal_.path() + " must be rolled back first: open the file again");
    }
    FileStamp now = file_.stamp();
    if (lock.stamped && !(now == lock.stamp)) {
      // What was decoded from the pages read before may no longer hold.
      throw Error(ErrorKind::InUse, file_.name() +
                                        ": the file was changed by another program since it was opened for "
                                        "reading: open it again");
    }
    lock.stamp = now;
    lock.stamped = true;
  } catch (...) {
    file_.unlockFlush();
    throw;
  }
  lock.held = true;
}

Pager::ReadScope::~ReadScope() {
  if (!lock_ || --lock_->depth > 0) return;
  if (lock_->held && lock_->file) lock_->file->unlockFlush();
  lock_->held = false;
}

}  // namespace jet
