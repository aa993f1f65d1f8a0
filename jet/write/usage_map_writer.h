// Adds and removes pages in a table's usage map (owned pages, pages with free space).
// An inline map whose range cannot take a new page is moved to a new first page when its
// pages still fit, otherwise turned into a page-referenced map; a referenced map whose pages
// fit an inline one again becomes inline and gives its bitmap pages back.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/codec/usage_map_view.h"
#include "jet/write/write_context.h"

namespace jet::write {

class UsageMapWriter {
 public:
  // The map row is row mapRow of page mapPage.
  UsageMapWriter(WriteContext& ctx, uint32_t mapPage, uint16_t mapRow);

  bool contains(uint32_t page);
  void add(uint32_t page);
  // keepForm: a referenced map stays referenced even when its pages would fit an inline one
  // (for a page that leaves a map it will soon come back to, such as the free-space map as
  // pages fill and empty: turning the map back and forth costs a walk of its bitmaps and a
  // bitmap page each time).
  void remove(uint32_t page, bool keepForm = false);
  // Empties the map at once: it becomes an empty inline map and its bitmap pages go back to
  // the database (the pages it listed are the caller's to release).
  void clear();
  // Every page in the map, ascending.
  std::vector<uint32_t> pages();

 private:
  struct Row {
    uint32_t start = 0;   // offset of the map row on its page
    uint32_t length = 0;  // bytes of the map row
    uint8_t type = 0;
  };
  Row locate();
  codec::UsageMapView view(const Row& row);
  void setReference(const Row& row, uint32_t page, bool on);
  // Sets or clears the page's bit where the map already covers it; false when it does not.
  bool setCovered(const Row& row, uint32_t page, bool on);
  void rewriteInline(const Row& row, uint32_t start, const std::vector<uint32_t>& pages);
  void promote(const Row& row, const std::vector<uint32_t>& pages);
  // Turns a page-referenced map back into an inline one when its pages fit one.
  void demoteIfSmall(const Row& row);

  WriteContext& ctx_;
  uint32_t mapPage_;
  uint16_t mapRow_;
};

}  // namespace jet::write
