// The decoded-page cache of index look-ups.
#include "jet/index/index_page_cache.h"

#include <algorithm>

namespace jet {

IndexPageCache::IndexPageCache(Pager& pager, Format format, size_t byteLimit)
    : pager_(pager), format_(format), limit_(byteLimit), version_(pager.version()) {}

void IndexPageCache::clear() {
  for (uint32_t number : held_) pages_[number].reset();
  held_.clear();
  bytes_ = 0;
}

const IndexPageView& IndexPageCache::page(uint32_t number) {
  if (version_ != pager_.version()) {
    clear();
    version_ = pager_.version();
  }
  if (number < pages_.size() && pages_[number]) return *pages_[number];
  // A full cache starts over: simple, and a look-up's working set (the upper levels) comes
  // back within a few seeks.
  if (bytes_ >= limit_) clear();
  auto view = spare_ ? std::move(spare_) : std::make_unique<IndexPageView>();
  try {
    view->load(pager_.read(number), format_);  // reading checks the number against the file
    view->prepareSearch();
  } catch (...) {
    spare_ = std::move(view);
    throw;
  }
  if (number >= pages_.size()) pages_.resize(std::max<size_t>(number + 1, pager_.pageCount()));
  bytes_ += view->memoryBytes() + sizeof(IndexPageView) + sizeof(uint32_t);
  held_.push_back(number);
  pages_[number] = std::move(view);
  return *pages_[number];
}

}  // namespace jet
