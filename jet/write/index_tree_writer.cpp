// Laying out an index over as many pages as its entries need.
#include "jet/write/index_tree_writer.h"

#include <algorithm>
#include <set>
#include <span>

#include "jet/error.h"
#include "jet/index/index_page_builder.h"
#include "jet/index/index_tree.h"
#include "jet/write/usage_map_writer.h"

namespace jet::write {
namespace {

// One page to be: a run of entries (for a leaf) or of children (for an intermediate page).
struct PlannedPage {
  std::vector<IndexPageEntryRef> entries;
  uint32_t number = 0;
};

size_t commonPrefix(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  const size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// Splits entries into pages, each as full as it can be: an entry goes to the current page
// while the page's bytes (prefix compressed against its first entry) still fit.
std::vector<PlannedPage> pack(const std::vector<IndexPageEntryRef>& entries, bool leaf, Format format) {
  const IndexPageLayout& layout = indexPageLayout(format);
  const size_t trailer = kEntryRowIdSize + (leaf ? 0 : kEntryChildSize);
  const size_t prefixMax = layout.prefixLengthSize == 1 ? 0xFF : 0xFFFF;
  std::vector<PlannedPage> pages;
  size_t total = 0;  // entry bytes of the current page without compression
  for (const IndexPageEntryRef& e : entries) {
    const size_t whole = e.key.size() + trailer;
    if (whole > layout.entryRoom()) {
      throw Error(ErrorKind::Invalid, "an index key of " + std::to_string(e.key.size()) + " bytes does not fit a page");
    }
    if (!pages.empty()) {
      PlannedPage& page = pages.back();
      const size_t prefix = std::min(commonPrefix(page.entries.front().key, e.key), prefixMax);
      const size_t n = page.entries.size() + 1;
      if (total + whole - prefix * (n - 1) <= layout.entryRoom()) {
        page.entries.push_back(e);
        total += whole;
        continue;
      }
    }
    pages.push_back(PlannedPage{{e}, 0});
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
                    const std::vector<IndexTreeEntry>& entries) {
  const uint32_t pageCount = ctx.pager().pageCount();
  if (target.rootPage == 0 || target.rootPage >= pageCount) {
    throw Error(ErrorKind::Corrupt, target.name + " has its first page at " + std::to_string(target.rootPage) +
                                        ", outside the file");
  }
  std::set<uint32_t> old = pagesOfTree(ctx, format, target.rootPage, target.name);
  old.erase(target.rootPage);

  // Levels from the leaves up; the last level is a single page (possibly an empty leaf).
  std::vector<std::vector<PlannedPage>> levels;
  {
    std::vector<IndexPageEntryRef> refs;
    refs.reserve(entries.size());
    for (const IndexTreeEntry& e : entries) refs.push_back(IndexPageEntryRef{e.key, e.row, 0});
    levels.push_back(pack(refs, true, format));
    if (levels.back().empty()) levels.back().push_back(PlannedPage{});
  }
  while (levels.back().size() > 1) {
    // One intermediate entry per child: the child's last entry and the child's page, the
    // page number filled in below once pages are assigned.
    std::vector<IndexPageEntryRef> refs;
    for (const PlannedPage& child : levels.back()) refs.push_back(child.entries.back());
    levels.push_back(pack(refs, false, format));
  }

  // Page numbers: the root stays where the definition points, then the old pages, then new.
  auto oldIt = old.begin();
  UsageMapWriter usedMap(ctx, target.usedPages.page, target.usedPages.row);
  for (size_t level = 0; level < levels.size(); ++level) {
    for (PlannedPage& page : levels[level]) {
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
    size_t child = 0;
    for (PlannedPage& page : levels[level]) {
      for (IndexPageEntryRef& e : page.entries) e.child = levels[level - 1][child++].number;
    }
  }

  const uint32_t pageSize = ctx.blueprint().pageSize;
  for (size_t level = 0; level < levels.size(); ++level) {
    const std::vector<PlannedPage>& pages = levels[level];
    for (size_t i = 0; i < pages.size(); ++i) {
      IndexPageHeader header;
      header.leaf = level == 0;
      header.tableDefinitionPage = target.owner;
      header.previousPage = i > 0 ? pages[i - 1].number : 0;
      header.nextPage = i + 1 < pages.size() ? pages[i + 1].number : 0;
      buildIndexPage(header, pages[i].entries, format, std::span<uint8_t>(ctx.modify(pages[i].number), pageSize));
    }
  }

  // Pages the smaller tree no longer needs.
  for (; oldIt != old.end(); ++oldIt) {
    ctx.release(*oldIt);
    if (usedMap.contains(*oldIt)) usedMap.remove(*oldIt);
  }
}

}  // namespace jet::write
