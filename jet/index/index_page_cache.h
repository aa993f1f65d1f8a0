// Decoded index pages kept between look-ups, so a seek walks the tree without reading or
// decoding its pages again. The cache trusts its pages only while the page cache below it
// reports no change (Pager::version); any write empties it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "jet/format/types.h"
#include "jet/codec/index_page_view.h"
#include "jet/pager/pager.h"

namespace jet {

class IndexPageCache {
 public:
  // byteLimit: memory the decoded pages may take before the cache starts over.
  IndexPageCache(Pager& pager, Format format, size_t byteLimit = kDefaultByteLimit);

  // Page `number` decoded (jet::Error as IndexPageView::load throws it). The reference stays
  // valid until the next call.
  const IndexPageView& page(uint32_t number);

  Pager& pager() { return pager_; }
  Format format() const { return format_; }
  size_t pages() const { return held_.size(); }
  size_t bytes() const { return bytes_; }

  // Enough for the indexes of a table of about a million rows with a Long and a Text(50) key.
  static constexpr size_t kDefaultByteLimit = size_t{96} << 20;

 private:
  Pager& pager_;
  Format format_;
  size_t limit_;
  uint64_t version_;
  size_t bytes_ = 0;
  void clear();
  // Indexed by page number (a pointer per page of the file is small beside the pages).
  std::vector<std::unique_ptr<IndexPageView>> pages_;
  std::vector<uint32_t> held_;  // the numbers with a page in pages_
  std::unique_ptr<IndexPageView> spare_;  // reused when a load fails
};

}  // namespace jet
