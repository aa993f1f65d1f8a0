// Repacking one table for compaction: its rows (and their long values) read out, its pages
// released, and the rows written back onto the lowest free pages, one page after another.
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

struct KeptRow {
  std::vector<uint8_t> bytes;
  // Long values stored outside the row: where the reference sits in the row, the old
  // reference and the value.
  struct Stored {
    size_t at = 0;
    std::vector<uint8_t> oldRef;
    Bytes payload;
  };
  std::vector<Stored> stored;
};

}  // namespace

struct TableWriter::HeldRows {
  std::vector<KeptRow> rows;
};

std::shared_ptr<TableWriter::HeldRows> TableWriter::takeRows() {
  requireWritable();
  const PageSpec& bp = ctx_.blueprint();
  std::vector<uint32_t> pages = UsageMapWriter(ctx_, info_.ownedPages.page, info_.ownedPages.row).pages();
  auto held = std::make_shared<HeldRows>();
  std::vector<KeptRow>& rows = held->rows;
  for (uint32_t page : pages) {
    if (!ownPage(page)) continue;
    const uint16_t count = rowCount(bp, ctx_.read(page));
    for (uint16_t r = 0; r < count; ++r) {
      // Rows listed here: plain rows and forward pointers; moved bytes are reached through
      // their pointer, deleted rows are gone.
      if (rowSpan(bp, ctx_.read(page), page, r).flags & fd::kDeletedRow) continue;
      const Located loc = locate(RowId{page, r});
      const uint8_t* at = ctx_.read(loc.data.page) + loc.span.start;
      KeptRow kept;
      kept.bytes.assign(at, at + loc.span.length);
      for (size_t i = 0; i < layout_.slots.size(); ++i) {
        const ColumnSlot& slot = layout_.slots[i];
        if (slot.fixed || !isLongValueKind(slot.column->kind) || slot.column->unknownKind) continue;
        ColumnBytes ref = variableColumnBytes(layout_, kept.bytes.data(), kept.bytes.size(), i);
        if (!ref.data || ref.size < kLongValueRefBytes) continue;
        if ((ref.data[fl::kLength + 3] & fl::kStorageMask) == fl::kInline) continue;
        KeptRow::Stored s;
        s.at = static_cast<size_t>(ref.data - kept.bytes.data());
        s.oldRef.assign(ref.data, ref.data + kLongValueRefBytes);
        s.payload = readLongValue(ctx_.pager(), bp.format, ref.data, ref.size, info_.def.name);
        kept.stored.push_back(std::move(s));
      }
      rows.push_back(std::move(kept));
    }
  }
  try {
    inOperation(ctx_, [&] {
      ctx_.onRollback([this] { forgetPlacement(); });
      for (const KeptRow& row : rows) {
        for (const KeptRow::Stored& s : row.stored) longValues_.release(s.oldRef.data(), s.oldRef.size());
      }
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
      for (KeptRow& row : held.rows) {
        for (const KeptRow::Stored& s : row.stored) {
          std::vector<uint8_t> ref = longValues_.store(s.payload);
          std::memcpy(row.bytes.data() + s.at, ref.data(), ref.size());
        }
        place(row.bytes, 0);
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
