// Row operations of one table on top of the page, map and long-value writers.
#include "jet/write/table_writer.h"

#include <algorithm>
#include <random>

#include "jet/codec/data_page_view.h"
#include "jet/error.h"
#include "jet/format/data_page.h"
#include "jet/format/table_def.h"
#include "jet/util/bytes.h"
#include "jet/write/usage_map_writer.h"
#include "jet/write/value_encoder.h"

namespace jet::write {
namespace fd = format::data;
namespace td = format::tabledef;

namespace {

RowLayout layoutOf(const TableInfo& info, uint16_t codePage) {
  RowLayout layout;
  layout.format = info.format;
  layout.codePage = codePage;
  layout.columnCount = info.maxColumns;
  layout.varColumnCount = info.varColumns;
  layout.slots.resize(info.def.columns.size());
  for (size_t i = 0; i < info.def.columns.size(); ++i) {
    ColumnSlot& slot = layout.slots[i];
    slot.column = &info.def.columns[i];
    slot.columnId = info.storage[i].number;
    slot.fixed = (info.storage[i].flags & td::kFixed) != 0;
    slot.fixedOffset = info.storage[i].fixedOffset;
    slot.varIndex = info.storage[i].varIndex;
  }
  finishLayout(layout);
  return layout;
}

Guid newGuid() {
  static std::mt19937_64 rng{std::random_device{}()};
  Guid g;
  for (int i = 0; i < 16; i += 8) {
    uint64_t v = rng();
    for (int k = 0; k < 8; ++k) g.bytes[i + k] = static_cast<uint8_t>(v >> (8 * k));
  }
  g.bytes[7] = static_cast<uint8_t>((g.bytes[7] & 0x0F) | 0x40);  // a version 4 (random) identifier
  g.bytes[8] = static_cast<uint8_t>((g.bytes[8] & 0x3F) | 0x80);
  return g;
}

}  // namespace

TableWriter::TableWriter(WriteContext& ctx, LongValueWriter& longValues, TableInfo& info, const RowDecoder& decoder)
    : ctx_(ctx), longValues_(longValues), info_(info), decoder_(decoder), layout_(layoutOf(info, decoder.codePage())) {
  hasAutoNumber_ = std::any_of(info_.def.columns.begin(), info_.def.columns.end(),
                               [](const Column& c) { return c.autoNumber; });
}

void TableWriter::requireWritable() {
  const bool indexed = !info_.realIndexes.empty() || !info_.logicalIndexes.empty();
  if (!indexes_ && indexed) {
    // A row written without its index entries would leave the file corrupt.
    throw Error(ErrorKind::Invalid, "table " + info_.def.name + " has indexes and no index upkeep to keep them");
  }
  if (!info_.ownedPages.valid() || !info_.freePages.valid()) {
    throw Error(ErrorKind::Corrupt, "table " + info_.def.name + " has no usage maps");
  }
}

uint32_t TableWriter::lastAutoNumber() const {
  return info_.def.nextAutoNumber == 0 ? 0 : info_.def.nextAutoNumber - 1;
}

void TableWriter::setLastAutoNumber(uint32_t value) {
  info_.def.nextAutoNumber = value + 1;
  countersDirty_ = true;
}

void TableWriter::setRowCount(uint32_t value) {
  info_.def.rowCount = value;
  countersDirty_ = true;
}

void TableWriter::storeCounters() {
  if (!countersDirty_) return;
  uint32_t pageSize = ctx_.blueprint().pageSize;
  auto store = [&](uint32_t offset, uint32_t value) {
    TableInfo::Location at = info_.locate(offset, pageSize);
    put32(ctx_.modify(at.page) + at.offset, value);
    if (offset + 4 <= info_.bytes.size()) put32(info_.bytes.data() + offset, value);
  };
  store(info_.rowCountOffset, info_.def.rowCount);
  store(info_.nextAutoNumberOffset, lastAutoNumber());
  countersDirty_ = false;
}

bool TableWriter::ownPage(uint32_t page) {
  if (page == 0 || page >= ctx_.pager().pageCount()) return false;
  return codec::DataPageView(ctx_.read(page), ctx_.blueprint().pageSize, ctx_.blueprint().format)
      .belongsTo(info_.def.definitionPage);
}

TableWriter::Located TableWriter::locate(RowId id) {
  auto missing = [&] {
    return Error(ErrorKind::NotFound, "table " + info_.def.name + " has no row " + std::to_string(id.row) +
                                          " on page " + std::to_string(id.page));
  };
  if (!ownPage(id.page)) throw missing();
  const uint8_t* page = ctx_.read(id.page);
  if (id.row >= rowCount(ctx_.blueprint(), page)) throw missing();
  Located loc{id, id, rowSpan(ctx_.blueprint(), page, id.page, id.row)};
  if (loc.span.flags & fd::kDeletedRow) throw missing();
  for (int hops = 0; loc.span.flags & fd::kOverflowRow; ++hops) {
    const uint8_t* at = ctx_.read(loc.data.page) + loc.span.start;
    if (hops > 4 || loc.span.length < fd::kRowPointerSize) {
      throw Error(ErrorKind::Corrupt, "page " + std::to_string(loc.data.page) + ": bad forward pointer");
    }
    RowId target = codec::decodeRowPointer(at);
    if (!ownPage(target.page) || target.row >= rowCount(ctx_.blueprint(), ctx_.read(target.page))) {
      throw Error(ErrorKind::Corrupt, "page " + std::to_string(loc.data.page) + ": forward pointer to page " +
                                          std::to_string(target.page) + " row " + std::to_string(target.row));
    }
    loc.data = target;
    loc.span = rowSpan(ctx_.blueprint(), ctx_.read(target.page), target.page, target.row);
    // The moved bytes carry the deleted flag alone; both flags mean they are gone.
    if ((loc.span.flags & fd::kDeletedRow) && (loc.span.flags & fd::kOverflowRow)) {
      throw Error(ErrorKind::Corrupt, "page " + std::to_string(id.page) + " row " + std::to_string(id.row) +
                                          " points to a deleted row");
    }
    if (loc.span.flags & fd::kDeletedRow) break;
  }
  return loc;
}

Row TableWriter::decodeAt(const Located& where) {
  Row row;
  decoder_.decode(ctx_.read(where.data.page) + where.span.start, where.span.length, where.data, row);
  return row;
}

Row TableWriter::decodeKeysAt(const Located& where) {
  if (keyColumns_.empty()) {
    keyColumns_.assign(info_.def.columns.size(), false);
    for (size_t i = 0; i < info_.def.columns.size(); ++i) keyColumns_[i] = info_.def.columns[i].autoNumber;
    for (const Index& index : info_.def.indexes) {
      for (const IndexColumn& ic : index.columns) {
        if (ic.column >= 0 && static_cast<size_t>(ic.column) < keyColumns_.size()) keyColumns_[size_t(ic.column)] = true;
      }
    }
  }
  Row row;
  decoder_.decode(ctx_.read(where.data.page) + where.span.start, where.span.length, where.data, row, keyColumns_);
  return row;
}

uint32_t TableWriter::newDataPage() {
  uint32_t page = ctx_.allocate();
  initDataPage(ctx_.blueprint(), ctx_.modify(page), info_.def.definitionPage);
  UsageMapWriter(ctx_, info_.ownedPages.page, info_.ownedPages.row).add(page);
  UsageMapWriter(ctx_, info_.freePages.page, info_.freePages.row).add(page);
  return page;
}

void TableWriter::assembleInto(const std::vector<EncodedValue>& values) {
  assembleRowInto(
      layout_, values, [this](const Column&, const std::vector<uint8_t>& payload) { return longValues_.store(payload); },
      0, rowBytes_, assembly_);
}

void TableWriter::eraseRow(const Located& where) {
  releaseLongValues(where);
  setRowFlags(ctx_.blueprint(), ctx_.modify(where.header.page), where.header.row, fd::kDeletedRow | fd::kOverflowRow);
  if (!(where.data == where.header)) {
    setRowFlags(ctx_.blueprint(), ctx_.modify(where.data.page), where.data.row, fd::kDeletedRow | fd::kOverflowRow);
  }
}

void TableWriter::releaseLongValues(const Located& where) {
  const uint8_t* row = ctx_.read(where.data.page) + where.span.start;
  for (size_t i = 0; i < layout_.slots.size(); ++i) {
    const ColumnSlot& slot = layout_.slots[i];
    if (slot.fixed || !isLongValueKind(slot.column->kind) || slot.column->unknownKind) continue;
    ColumnBytes ref = variableColumnBytes(layout_, row, where.span.length, i);
    if (ref.data && ref.size >= kLongValueRefBytes) {
      std::vector<uint8_t> copy(ref.data, ref.data + ref.size);  // the page may change below
      longValues_.release(copy.data(), copy.size());
    }
  }
}

RowId TableWriter::insert(Row& row) {
  requireWritable();
  if (row.size() != info_.def.columns.size()) {
    throw Error(ErrorKind::Invalid, "table " + info_.def.name + " has " + std::to_string(info_.def.columns.size()) +
                                        " columns, the row has " + std::to_string(row.size()) + " values");
  }
  // The auto-numbers are filled into a copy, given back only once the row is written; a
  // table without them writes row itself.
  const bool numbered = hasAutoNumber_;
  Row numberedValues;
  if (numbered) numberedValues = row;
  Row& values = numbered ? numberedValues : row;
  uint32_t last = lastAutoNumber();
  bool usesCounter = false;
  for (size_t i = 0; i < values.size(); ++i) {
    const Column& column = info_.def.columns[i];
    if (!column.autoNumber) continue;
    if (!isNull(values[i])) {
      throw Error(ErrorKind::Invalid, "column '" + column.name +
                                          "' is an auto-number: leave it Null and the table assigns the next value");
    }
    if (column.kind == ColumnKind::ReplicationID) {
      values[i] = newGuid();
    } else {
      if (last >= static_cast<uint32_t>(INT32_MAX)) {
        throw Error(ErrorKind::Invalid, "table " + info_.def.name + " has used up its auto-numbers");
      }
      values[i] = static_cast<int32_t>(last + 1);
      usesCounter = true;
    }
  }
  encodeValuesInto(layout_, values, encoded_);
  const std::vector<EncodedValue>& encoded = encoded_;
  if (indexes_) indexes_->checkInsert(values);

  const uint32_t oldCount = info_.def.rowCount, oldNext = info_.def.nextAutoNumber;
  const bool oldDirty = countersDirty_;
  try {
    RowId id = inOperation(ctx_, [&] {
      ctx_.onRollback([this, oldCount, oldNext, oldDirty] {
        info_.def.rowCount = oldCount;
        info_.def.nextAutoNumber = oldNext;
        countersDirty_ = oldDirty;
        forgetPlacement();
      });
      assembleInto(encoded);
      RowId placed = place(rowBytes_, 0);
      if (indexes_) indexes_->onInsert(placed, values);
      setRowCount(info_.def.rowCount + 1);
      if (usesCounter) setLastAutoNumber(last + 1);
      return placed;
    });
    if (numbered) row = std::move(numberedValues);
    return id;
  } catch (...) {
    info_.def.rowCount = oldCount;
    info_.def.nextAutoNumber = oldNext;
    countersDirty_ = oldDirty;
    forgetPlacement();
    longValues_.reset();
    throw;
  }
}

void TableWriter::update(RowId id, const Row& newRow) {
  requireWritable();
  if (newRow.size() != info_.def.columns.size()) {
    throw Error(ErrorKind::Invalid, "table " + info_.def.name + " has " + std::to_string(info_.def.columns.size()) +
                                        " columns, the row has " + std::to_string(newRow.size()) + " values");
  }
  Located loc = locate(id);
  Row old = decodeKeysAt(loc);
  // An auto-number left Null keeps its value: only then is the row copied to fill it in.
  Row filled;
  for (size_t i = 0; i < newRow.size(); ++i) {
    const Column& column = info_.def.columns[i];
    if (!column.autoNumber) continue;
    if (isNull(newRow[i])) {
      if (filled.empty()) filled = newRow;
      filled[i] = old[i];
    } else if (!(newRow[i] == old[i])) {
      throw Error(ErrorKind::Invalid, "column '" + column.name + "' is an auto-number and cannot be changed");
    }
  }
  const Row& values = filled.empty() ? newRow : filled;
  encodeValuesInto(layout_, values, encoded_);
  const std::vector<EncodedValue>& encoded = encoded_;
  if (indexes_) indexes_->checkUpdate(id, old, values);
  try {
    inOperation(ctx_, [&] {
      ctx_.onRollback([this] { forgetPlacement(); });
      releaseLongValues(loc);
      assembleInto(encoded);
      if (rowBytes_.size() <= loc.span.length) rowBytes_ = padRow(layout_, std::move(rowBytes_), loc.span.length);
      if (rowBytes_.size() == loc.span.length) {
        overwriteRow(ctx_.blueprint(), ctx_.modify(loc.data.page), loc.data.page, loc.data.row, rowBytes_);
      } else {
        RowId moved = place(rowBytes_, fd::kDeletedRow);
        if (!(loc.data == loc.header)) {
          setRowFlags(ctx_.blueprint(), ctx_.modify(loc.data.page), loc.data.row, fd::kDeletedRow | fd::kOverflowRow);
        }
        forwardRow(ctx_.blueprint(), ctx_.modify(loc.header.page), loc.header.page, loc.header.row, moved.page,
                   static_cast<uint8_t>(moved.row));
        afterRowsGone(loc.header.page);
        if (!(loc.data == loc.header)) afterRowsGone(loc.data.page);
      }
      if (indexes_) indexes_->onUpdate(id, old, values);
    });
  } catch (...) {
    forgetPlacement();
    longValues_.reset();
    throw;
  }
}

void TableWriter::remove(RowId id) {
  requireWritable();
  Located loc = locate(id);
  Row old;
  if (indexes_) old = decodeKeysAt(loc);
  const uint32_t oldCount = info_.def.rowCount;
  const bool oldDirty = countersDirty_;
  try {
    inOperation(ctx_, [&] {
      ctx_.onRollback([this, oldCount, oldDirty] {
        info_.def.rowCount = oldCount;
        countersDirty_ = oldDirty;
        forgetPlacement();
      });
      eraseRow(loc);
      if (!(loc.data == loc.header)) afterRowsGone(loc.data.page);
      afterRowsGone(loc.header.page);
      if (indexes_) indexes_->onRemove(id, old);
      setRowCount(info_.def.rowCount > 0 ? info_.def.rowCount - 1 : 0);
    });
  } catch (...) {
    info_.def.rowCount = oldCount;
    countersDirty_ = oldDirty;
    longValues_.reset();
    throw;
  }
}

uint32_t TableWriter::removeAll() {
  requireWritable();
  const uint32_t oldCount = info_.def.rowCount;
  const bool oldDirty = countersDirty_;
  uint32_t removed = 0;
  try {
    inOperation(ctx_, [&] {
      ctx_.onRollback([this, oldCount, oldDirty] {
        info_.def.rowCount = oldCount;
        countersDirty_ = oldDirty;
        forgetPlacement();
      });
      // Live rows are those listed on the table's own data pages that are neither deleted nor
      // the moved bytes of another row. Each is marked deleted where it is listed and where its
      // bytes are, its long values given back; the pages go back once all are done.
      const PageSpec& bp = ctx_.blueprint();
      const std::vector<uint32_t> pages = UsageMapWriter(ctx_, info_.ownedPages.page, info_.ownedPages.row).pages();
      for (uint32_t page : pages) {
        if (!ownPage(page)) continue;
        const uint16_t count = rowCount(bp, ctx_.read(page));
        for (uint16_t r = 0; r < count; ++r) {
          if (rowSpan(bp, ctx_.read(page), page, r).flags & fd::kDeletedRow) continue;
          eraseRow(locate(RowId{page, r}));
          ++removed;
        }
      }
      // The indexes are written anew from no rows; their key sets are read again when wanted.
      if (indexes_) indexes_->onRowsReplaced();
      // Every page is now without live rows (those left so by earlier writers too).
      for (uint32_t page : UsageMapWriter(ctx_, info_.ownedPages.page, info_.ownedPages.row).pages()) {
        afterRowsGone(page);
      }
      setRowCount(0);
    });
  } catch (...) {
    info_.def.rowCount = oldCount;
    countersDirty_ = oldDirty;
    longValues_.reset();
    throw;
  }
  return removed;
}

}  // namespace jet::write
