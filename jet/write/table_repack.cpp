// Repacking one table for compaction: its rows (and their long values) read out, its pages
// released, and the rows written back onto the lowest free pages, one page after another.
#include <algorithm>
#include <cstring>
#include <vector>

#include "jet/codec/data_page_view.h"
#include "jet/format/data_page.h"
#include "jet/format/long_value.h"
#include "jet/long_value.h"
#include "jet/write/table_writer.h"
#include "jet/write/usage_map_writer.h"
#include "jet/write/value_encoder.h"

namespace jet::write {
namespace fd = format::data;
namespace fl = format::longvalue;

namespace {

// A long value stored outside its row: where the reference sits in the row, the old
// reference and the value.
struct StoredValue {
  size_t at = 0;
  std::vector<uint8_t> oldRef;
  Bytes payload;
};

// One row taken out: its bytes in HeldRows::bytes, its stored long values in HeldRows::values.
struct KeptRow {
  size_t start = 0;
  uint32_t length = 0;
  uint32_t firstValue = 0, values = 0;
};

}  // namespace

// Every row's bytes in one buffer, so that taking out a table costs no allocation per row.
struct TableWriter::HeldRows {
  std::vector<uint8_t> bytes;
  std::vector<KeptRow> rows;
  std::vector<StoredValue> values;
};

std::shared_ptr<TableWriter::HeldRows> TableWriter::takeRows() {
  requireWritable();
  const PageSpec& bp = ctx_.blueprint();
  std::vector<uint32_t> pages = UsageMapWriter(ctx_, info_.ownedPages.page, info_.ownedPages.row).pages();
  auto held = std::make_shared<HeldRows>();
  held->bytes.reserve(pages.size() * bp.pageSize);
  held->rows.reserve(std::min<size_t>(info_.def.rowCount, pages.size() * fd::kMaxRowsPerPage));
  for (uint32_t page : pages) {
    if (!ownPage(page)) continue;
    const PageRef listing = ctx_.pager().read(page);  // kept while long values are read
    const uint16_t count = rowCount(bp, listing->data());
    for (uint16_t r = 0; r < count; ++r) {
      // Rows listed here: plain rows and forward pointers; moved bytes are reached through
      // their pointer, deleted rows are gone.
      RowSpan span = rowSpan(bp, listing->data(), page, r);
      if (span.flags & fd::kDeletedRow) continue;
      const uint8_t* at = listing->data() + span.start;
      if (span.flags & fd::kOverflowRow) {
        const Located loc = locate(RowId{page, r});
        at = ctx_.read(loc.data.page) + loc.span.start;
        span = loc.span;
      }
      KeptRow kept{held->bytes.size(), span.length, static_cast<uint32_t>(held->values.size()), 0};
      held->bytes.insert(held->bytes.end(), at, at + span.length);
      const uint8_t* row = held->bytes.data() + kept.start;
      for (size_t i = 0; i < layout_.slots.size(); ++i) {
        const ColumnSlot& slot = layout_.slots[i];
        if (slot.fixed || !isLongValueKind(slot.column->kind) || slot.column->unknownKind) continue;
        ColumnBytes ref = variableColumnBytes(layout_, row, kept.length, i);
        if (!ref.data || ref.size < kLongValueRefBytes) continue;
        if ((ref.data[fl::kLength + 3] & fl::kStorageMask) == fl::kInline) continue;
        StoredValue s;
        s.at = static_cast<size_t>(ref.data - row);
        s.oldRef.assign(ref.data, ref.data + kLongValueRefBytes);
        s.payload = readLongValue(ctx_.pager(), bp.format, ref.data, ref.size, info_.def.name);
        held->values.push_back(std::move(s));
        ++kept.values;
      }
      held->rows.push_back(kept);
    }
  }
  try {
    inOperation(ctx_, [&] {
      ctx_.onRollback([this] { forgetPlacement(); });
      for (const StoredValue& s : held->values) longValues_.release(s.oldRef.data(), s.oldRef.size());
      // Every data page goes back at once; pages the maps listed that are not the table's
      // (left there by other writers) drop out of them.
      for (uint32_t page : pages) {
        if (ownPage(page)) ctx_.release(page);
      }
      UsageMapWriter(ctx_, info_.ownedPages.page, info_.ownedPages.row).clear();
      UsageMapWriter(ctx_, info_.freePages.page, info_.freePages.row).clear();
      forgetPlacement();
      if (indexes_) indexes_->onRowsReplaced();
    });
  } catch (...) {
    forgetPlacement();
    longValues_.reset();
    throw;
  }
  return held;
}

uint32_t TableWriter::putRows(HeldRows& held) {
  requireWritable();
  try {
    inOperation(ctx_, [&] {
      ctx_.onRollback([this] { forgetPlacement(); });
      for (const KeptRow& row : held.rows) {
        uint8_t* bytes = held.bytes.data() + row.start;
        for (uint32_t v = row.firstValue; v < row.firstValue + row.values; ++v) {
          std::vector<uint8_t> ref = longValues_.store(held.values[v].payload);
          std::memcpy(bytes + held.values[v].at, ref.data(), ref.size());
        }
        place(std::span<const uint8_t>(bytes, row.length), 0);
      }
      // The indexes are written anew from the rows at the next flush.
      if (indexes_) indexes_->onRowsReplaced();
    });
  } catch (...) {
    forgetPlacement();
    longValues_.reset();
    throw;
  }
  return static_cast<uint32_t>(held.rows.size());
}

}  // namespace jet::write
