// Reading usage maps: the set of pages a table owns (or that have free space), from an
// inline bitmap or from bitmap pages the map row refers to.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/format/types.h"
#include "jet/pager/pager.h"
#include "jet/table_info.h"

namespace jet {

struct UsageMapInfo {
  uint8_t type = 0;                    // format::usagemap::kInlineType or kReferenceType
  RowRef where;                        // the map row
  uint32_t inlineStart = 0;            // type 0: first page mapped
  std::vector<uint32_t> mapPages;      // type 1: bitmap pages (0 where none)
  std::vector<uint32_t> pages;         // pages in the map, ascending
  uint32_t pastEnd = 0;                // set bits for pages at or past the end of the file
};

// Reads the map the reference points to. Pages at or past the end of the file are dropped
// (Access maps whole bitmap ranges). Throws Corrupt naming the page on a malformed map.
UsageMapInfo readUsageMap(Pager& pager, Format format, RowRef ref);

}  // namespace jet
