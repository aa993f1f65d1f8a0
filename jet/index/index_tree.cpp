// The index cursor and the structural check of an index tree.
#include "jet/index/index_tree.h"

#include <string>
#include <unordered_set>

#include "jet/error.h"

namespace jet {
namespace {

// Deeper trees cannot occur with pages of thousands of bytes; a deeper walk means a loop.
constexpr int kMaxLevels = 32;

[[noreturn]] void corrupt(uint32_t page, const std::string& what) {
  throw Error(ErrorKind::Corrupt, "index page " + std::to_string(page) + ": " + what);
}

}  // namespace

IndexEntryCursor::IndexEntryCursor(IndexPageFetcher fetch, Format format, uint32_t rootPage)
    : fetch_(std::move(fetch)), format_(format), root_(rootPage) {}

void IndexEntryCursor::load(uint32_t page) {
  page_.load(fetch_(page), page, format_);
  loaded_ = true;
  position_ = 0;
}

void IndexEntryCursor::seek(std::span<const uint8_t> key) {
  started_ = true;
  haveEntry_ = false;
  emptyLeaves_.clear();
  target_.assign(key.begin(), key.end());  // key may point into this cursor's own entry
  uint32_t page = root_;
  for (int level = 0;; ++level) {
    if (level == kMaxLevels) corrupt(root_, "index tree deeper than " + std::to_string(kMaxLevels) + " levels");
    load(page);
    const size_t i = page_.lowerBound(target_);
    if (page_.leaf()) {
      position_ = i;
      return;
    }
    // An intermediate entry is the last entry of its child: the first child whose last key
    // is not below the target holds the first such entry.
    if (i < page_.size()) {
      page_.read(i, key_, &page);
    } else if (page_.tailPage() != 0) {
      page = page_.tailPage();
    } else {
      loaded_ = false;  // every key is below the target: the cursor is at the end
      return;
    }
  }
}

bool IndexEntryCursor::next() {
  if (!started_) seek({});
  while (loaded_) {
    if (position_ < page_.size()) {
      row_ = page_.read(position_++, key_);
      haveEntry_ = true;
      emptyLeaves_.clear();
      return true;
    }
    const uint32_t next = page_.nextPage();
    if (next == 0) {
      loaded_ = false;
      return false;
    }
    if (page_.empty() && !emptyLeaves_.insert(page_.number()).second) {
      corrupt(page_.number(), "the chain of leaf pages runs in a circle");
    }
    const uint32_t from = page_.number();
    load(next);
    if (!page_.leaf()) corrupt(next, "next page of leaf page " + std::to_string(from) + " is not a leaf page");
    // Entries grow along the chain; a chain that loops back comes to an earlier entry.
    if (!page_.empty() && haveEntry_) {
      const int c = page_.compareKey(0, key_);
      std::vector<uint8_t> firstKey;
      if (c < 0 || (c == 0 && page_.read(0, firstKey) <= row_)) {
        corrupt(next, "leaf page " + std::to_string(from) + " leads to entries out of order");
      }
    }
  }
  return false;
}

namespace {

// Recursive walk that checks the tree; keeps the last entry seen and the previous leaf.
class TreeChecker {
 public:
  TreeChecker(const IndexPageFetcher& fetch, Format format, uint32_t tdef)
      : fetch_(fetch), format_(format), tdef_(tdef) {}

  IndexTreeStats run(uint32_t root) {
    walk(root, 1);
    if (previousLeaf_ != 0 && previousLeafNext_ != 0) {
      corrupt(previousLeaf_, "last leaf of the index points on to page " + std::to_string(previousLeafNext_));
    }
    stats_.levels = leafDepth_ == 0 ? 1 : leafDepth_;
    return stats_;
  }

 private:
  // Walks one subtree; leaves its last entry in lastKey_ / lastRow_.
  void walk(uint32_t number, int depth) {
    if (depth > kMaxLevels) corrupt(number, "index tree deeper than " + std::to_string(kMaxLevels) + " levels");
    if (!visited_.insert(number).second) corrupt(number, "page is reached twice in one index");
    IndexPage page;
    page.decode(fetch_(number), number, format_);
    if (tdef_ != 0 && page.tableDefinitionPage() != tdef_) {
      corrupt(number, "page belongs to table definition " + std::to_string(page.tableDefinitionPage()) +
                          ", not " + std::to_string(tdef_));
    }
    const IndexPageLayout& layout = indexPageLayout(format_);
    const size_t free = layout.pageSize - layout.entries() - page.usedEntryBytes();
    if (page.freeSpace() != free) {
      corrupt(number, "free space is recorded as " + std::to_string(page.freeSpace()) + " bytes, the entries leave " +
                          std::to_string(free));
    }
    if (page.leaf()) {
      checkLeaf(page, depth);
      return;
    }
    ++stats_.nodePages;
    if (page.empty() && page.tailPage() == 0) corrupt(number, "intermediate page without children");
    for (size_t i = 0; i < page.size(); ++i) {
      const IndexEntry e = page.entry(i);
      walk(e.child, depth + 1);
      if (compareIndexEntries(e.key, e.row, lastKey_, lastRow_) != 0) {
        corrupt(number, "entry " + std::to_string(i) + " differs from the last entry of child page " +
                            std::to_string(e.child));
      }
    }
    if (page.tailPage() != 0) walk(page.tailPage(), depth + 1);
  }

  void checkLeaf(const IndexPage& page, int depth) {
    const uint32_t number = page.number();
    ++stats_.leafPages;
    if (leafDepth_ == 0) {
      leafDepth_ = depth;
    } else if (depth != leafDepth_) {
      corrupt(number, "leaf at depth " + std::to_string(depth) + ", others at " + std::to_string(leafDepth_));
    }
    if (page.tailPage() != 0) corrupt(number, "leaf page with a tail page");
    if (page.previousPage() != previousLeaf_) {
      corrupt(number, "previous page is " + std::to_string(page.previousPage()) + ", the leaf before is " +
                          std::to_string(previousLeaf_));
    }
    if (previousLeaf_ != 0 && previousLeafNext_ != number) {
      corrupt(previousLeaf_, "next page is " + std::to_string(previousLeafNext_) + ", the leaf after is " +
                                 std::to_string(number));
    }
    for (size_t i = 0; i < page.size(); ++i) {
      const IndexEntry e = page.entry(i);
      if (stats_.entries > 0 && compareIndexEntries(lastKey_, lastRow_, e.key, e.row) >= 0) {
        corrupt(number, "entry " + std::to_string(i) + " is not after the entry before it");
      }
      lastKey_.assign(e.key.begin(), e.key.end());
      lastRow_ = e.row;
      ++stats_.entries;
    }
    previousLeaf_ = number;
    previousLeafNext_ = page.nextPage();
  }

  const IndexPageFetcher& fetch_;
  Format format_;
  uint32_t tdef_;
  IndexTreeStats stats_;
  int leafDepth_ = 0;
  std::unordered_set<uint32_t> visited_;
  std::vector<uint8_t> lastKey_;
  RowId lastRow_;
  uint32_t previousLeaf_ = 0;
  uint32_t previousLeafNext_ = 0;
};

}  // namespace

IndexTreeStats verifyIndexTree(const IndexPageFetcher& fetch, Format format, uint32_t rootPage,
                               uint32_t tableDefinitionPage) {
  if (rootPage == 0) throw Error(ErrorKind::Corrupt, "index has no root page");
  return TreeChecker(fetch, format, tableDefinitionPage).run(rootPage);
}

}  // namespace jet
