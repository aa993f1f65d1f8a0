// Laying out an index over as many pages as its entries need.
#include "jet/write/index_tree_writer.h"

#include <algorithm>
#include <set>
#include <span>

#include "jet/error.h"
#include "jet/codec/index_page_builder.h"
#include "jet/index/index_tree.h"
#include "jet/write/usage_map_writer.h"

namespace jet::write {
namespace {

// One page to be: a run of a level's entries (for a leaf) or of children (for an
// intermediate page), from first up to (not including) last.
struct PlannedPage {
  size_t first = 0, last = 0;
  uint32_t number = 0;
};

// One level of the tree: its entries in order and the pages they are split into. Leaves use
// the caller's entries; the levels above own theirs (one per child below).
struct Level {
  std::vector<IndexPageEntryRef> owned;
  std::span<const IndexPageEntryRef> entries;
  std::vector<PlannedPage> pages;
  std::span<const IndexPageEntryRef> of(const PlannedPage& p) const { return entries.subspan(p.first, p.last - p.first); }
};

size_t commonPrefix(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  const size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// Splits entries into pages, each as full as it can be: an entry goes to the current page
// while the page's bytes (prefix compressed against its first entry) still fit.
std::vector<PlannedPage> pack(std::span<const IndexPageEntryRef> entries, bool leaf, Format format) {
  const IndexPageLayout& layout = indexPageLayout(format);
  const size_t trailer = kEntryRowIdSize + (leaf ? 0 : kEntryChildSize);
  const size_t prefixMax = layout.prefixLengthSize == 1 ? 0xFF : 0xFFFF;
  std::vector<PlannedPage> pages;
  size_t total = 0;  // entry bytes of the current page without compression
  for (size_t i = 0; i < entries.size(); ++i) {
    const IndexPageEntryRef& e = entries[i];
    const size_t whole = e.key.size() + trailer;
    if (whole > layout.entryRoom()) {
      throw Error(ErrorKind::Invalid, "an index key of " + std::to_string(e.key.size()) + " bytes does not fit a page");
    }
    if (!pages.empty()) {
      PlannedPage& page = pages.back();
      const size_t prefix = std::min(commonPrefix(entries[page.first].key, e.key), prefixMax);
      const size_t n = page.last - page.first + 1;
      if (total + whole - prefix * (n - 1) <= layout.entryRoom()) {
        page.last = i + 1;
        total += whole;
        continue;
      }
    }
    pages.push_back(PlannedPage{i, i + 1, 0});
    total = whole;
  }
  return pages;
}

// Every page of the tree under root, root included.
std::set<uint32_t> pagesOfTree(WriteContext& ctx, Format format, uint32_t root, const std::string& name) {
  std::set<uint32_t> seen;
  const uint32_t pageSize = ctx.blueprint().pageSize;
  IndexPageFetcher fetch = [&](uint32_t n) -> std::span<const uint8_t> {
    if (n == 0 || n >= ctx.pager().pageCount()) {
      throw Error(ErrorKind::Corrupt, name + " refers to page " + std::to_string(n) + ", outside the file");
    }
    seen.insert(n);
    return {ctx.read(n), pageSize};
  };
  try {
    verifyIndexTree(fetch, format, root, 0);
  } catch (const Error& e) {
    throw Error(ErrorKind::Corrupt, name + " is damaged, so it cannot be rewritten: " + e.what());
  }
  return seen;
}

}  // namespace

void writeIndexTree(WriteContext& ctx, Format format, const IndexTreeTarget& target,
                    std::span<const IndexPageEntryRef> entries) {
  const uint32_t pageCount = ctx.pager().pageCount();
  if (target.rootPage == 0 || target.rootPage >= pageCount) {
    throw Error(ErrorKind::Corrupt, target.name + " has its first page at " + std::to_string(target.rootPage) +
                                        ", outside the file");
  }
  std::set<uint32_t> old = pagesOfTree(ctx, format, target.rootPage, target.name);
  old.erase(target.rootPage);

  // Levels from the leaves up; the last level is a single page (possibly an empty leaf).
  std::vector<Level> levels(1);
  levels[0].entries = entries;
  levels[0].pages = pack(entries, true, format);
  if (levels[0].pages.empty()) levels[0].pages.push_back(PlannedPage{});
  while (levels.back().pages.size() > 1) {
    // One intermediate entry per child: the child's last entry and the child's page, the
    // page number filled in below once pages are assigned.
    const Level& below = levels.back();
    Level up;
    up.owned.reserve(below.pages.size());
    for (const PlannedPage& child : below.pages) up.owned.push_back(below.entries[child.last - 1]);
    up.entries = up.owned;
    up.pages = pack(up.entries, false, format);
    levels.push_back(std::move(up));
  }

  // Page numbers: the root stays where the definition points, then the old pages, then new.
  auto oldIt = old.begin();
  UsageMapWriter usedMap(ctx, target.usedPages.page, target.usedPages.row);
  for (size_t level = 0; level < levels.size(); ++level) {
    for (PlannedPage& page : levels[level].pages) {
      if (level + 1 == levels.size()) {
        page.number = target.rootPage;
      } else if (oldIt != old.end()) {
        page.number = *oldIt++;
      } else {
        page.number = ctx.allocate();
        usedMap.add(page.number);
      }
    }
  }
  for (size_t level = 1; level < levels.size(); ++level) {
    std::vector<IndexPageEntryRef>& owned = levels[level].owned;
    const std::vector<PlannedPage>& children = levels[level - 1].pages;
    for (size_t i = 0; i < owned.size(); ++i) owned[i].child = children[i].number;
  }

  const uint32_t pageSize = ctx.blueprint().pageSize;
  for (size_t level = 0; level < levels.size(); ++level) {
    const std::vector<PlannedPage>& pages = levels[level].pages;
    for (size_t i = 0; i < pages.size(); ++i) {
      IndexPageHeader header;
      header.leaf = level == 0;
      header.tableDefinitionPage = target.owner;
      header.previousPage = i > 0 ? pages[i - 1].number : 0;
      header.nextPage = i + 1 < pages.size() ? pages[i + 1].number : 0;
      buildIndexPage(header, levels[level].of(pages[i]), format, std::span<uint8_t>(ctx.modify(pages[i].number), pageSize));
    }
  }

  // Pages the smaller tree no longer needs.
  for (; oldIt != old.end(); ++oldIt) {
    ctx.release(*oldIt);
    if (usedMap.contains(*oldIt)) usedMap.remove(*oldIt);
  }
}

}  // namespace jet::write
