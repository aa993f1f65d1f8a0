// Page cache with least-recently-used eviction of clean pages and dirty-page write-back.
#include "jet/pager/pager.h"

#include <iterator>

#include "jet/error.h"

namespace jet {

Pager::Pager(File& file, uint32_t pageSize, size_t cacheLimit)
    : file_(file), pageSize_(pageSize), cacheLimit_(cacheLimit < 8 ? 8 : cacheLimit) {
  uint64_t pages = file_.size() / pageSize_;
  if (pages > 0xFFFFFFFFull) throw Error(ErrorKind::Unsupported, file_.name() + ": file too large");
  filePages_ = static_cast<uint32_t>(pages);
  pageCount_ = filePages_;
}

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
    cache_.erase(victim);
    lruPos_.erase(victim);
    it = lru_.erase(it);
    --clean;
  }
}

std::shared_ptr<Page> Pager::load(uint32_t pageNumber) {
  if (pageNumber >= pageCount_) {
    throw Error(ErrorKind::Corrupt, "page " + std::to_string(pageNumber) + " is past the end of the file (" +
                                        std::to_string(pageCount_) + " pages)");
  }
  auto it = cache_.find(pageNumber);
  if (it != cache_.end()) {
    touch(pageNumber);
    return it->second;
  }
  auto page = std::make_shared<Page>();
  page->number = pageNumber;
  page->bytes.resize(pageSize_);
  if (pageNumber < filePages_) {
    file_.readAt(static_cast<uint64_t>(pageNumber) * pageSize_, page->bytes.data(), pageSize_);
  }
  cache_[pageNumber] = page;
  touch(pageNumber);
  evictClean();
  return page;
}

PageRef Pager::read(uint32_t pageNumber) { return load(pageNumber); }

uint8_t* Pager::modify(uint32_t pageNumber) {
  if (!file_.writable()) throw Error(ErrorKind::ReadOnly, file_.name() + " is open for reading only");
  auto page = load(pageNumber);
  ++version_;
  dirty_[pageNumber] = page;
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
  return number;
}

void Pager::flush() {
  for (auto& hook : flushHooks_) hook();
  const bool cut = pageCount_ < filePages_;
  if (dirty_.empty() && !cut) return;
  for (auto& [number, page] : dirty_) {
    file_.writeAt(static_cast<uint64_t>(number) * pageSize_, page->bytes.data(), pageSize_);
  }
  if (cut) file_.truncate(static_cast<uint64_t>(pageCount_) * pageSize_);
  file_.sync();
  for (auto& [number, page] : dirty_) {
    if (!lruPos_.count(number)) {
      lru_.push_back(number);
      lruPos_[number] = std::prev(lru_.end());
    }
  }
  dirty_.clear();
  filePages_ = pageCount_;
  evictClean();
}

void Pager::dropAppendedFrom(uint32_t first) {
  ++version_;
  if (first < filePages_) first = filePages_;
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

void Pager::cutTo(uint32_t pages) {
  if (pages >= pageCount_) return;
  ++version_;
  for (uint32_t number = pages; number < pageCount_; ++number) {
    dirty_.erase(number);
    cache_.erase(number);
    auto pos = lruPos_.find(number);
    if (pos != lruPos_.end()) {
      lru_.erase(pos->second);
      lruPos_.erase(pos);
    }
  }
  pageCount_ = pages;
}

void Pager::discard() {
  ++version_;
  for (auto& [number, page] : dirty_) {
    cache_.erase(number);
    auto pos = lruPos_.find(number);
    if (pos != lruPos_.end()) {
      lru_.erase(pos->second);
      lruPos_.erase(pos);
    }
  }
  dirty_.clear();
  pageCount_ = filePages_;
}

}  // namespace jet
