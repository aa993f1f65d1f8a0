// Inserts, updates and deletes the rows of one table: values checked first, then the row
// placed on a page its free-space map lists (packing the page when deleted rows hold the
// room), else on a new page recorded in the table's and the database's page maps; a page
// left without live rows is released. Long values stored and released, auto-numbers
// assigned, the row count and counter kept in step. Every change is one undoable operation.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <span>

#include "jet/row_decoder.h"
#include "jet/table_info.h"
#include "jet/write/index_maintainer.h"
#include "jet/write/long_value_writer.h"
#include "jet/write/row_encoder.h"
#include "jet/write/write_context.h"

namespace jet::write {

class TableWriter {
 public:
  // info and decoder belong to the table and must outlive the writer; the writer updates
  // info (row count, counter) as it writes.
  TableWriter(WriteContext& ctx, LongValueWriter& longValues, TableInfo& info, const RowDecoder& decoder);

  // Index upkeep; a table that has indexes refuses every write without it.
  void setIndexMaintainer(std::unique_ptr<IndexMaintainer> maintainer) { indexes_ = std::move(maintainer); }

  RowId insert(Row& row);
  void update(RowId id, const Row& newRow);
  void remove(RowId id);
  uint32_t removeAll();

  // Compaction in two steps (table_repack.cpp), so that every table's pages are free before
  // any table's rows go back: takeRows() reads every live row and its long values out and
  // releases the table's data pages and long-value rows; putRows() writes them back, in scan
  // order, onto the lowest free pages, full. Rows get new row ids (the indexes follow);
  // values, counters and the row count stay.
  struct HeldRows;
  std::shared_ptr<HeldRows> takeRows();
  uint32_t putRows(HeldRows& rows);

  // Writes the row count and the auto-number counter into the definition page.
  void storeCounters();
  // Sets the row count to the rows the pages hold (Access lets the stored count drift);
  // the next storeCounters() writes it when it differed.
  void settleRowCount(uint32_t rowsOnPages) {
    if (info_.def.rowCount == rowsOnPages) return;
    info_.def.rowCount = rowsOnPages;
    countersDirty_ = true;
  }

 private:
  struct Located {
    RowId header;      // where the row is listed
    RowId data;        // where its bytes are (differs when it was moved)
    RowSpan span;      // of the bytes at data
  };
  Located locate(RowId id);
  // Whether page is one of this table's data pages (inside the file).
  bool ownPage(uint32_t page);
  Row decodeAt(const Located& where);
  // The row at where with only the columns an update or a delete looks at in the old row
  // (auto-numbers and index columns); the others read as Null.
  Row decodeKeysAt(const Located& where);
  void requireWritable();
  RowId place(std::span<const uint8_t> bytes, uint16_t flags, uint32_t avoidPage = 0);
  uint32_t newDataPage();
  // Space upkeep (table_space.cpp): a page of this table with room for a row of length
  // bytes, 0 when none; the free-space map brought in line with a changed page; a page
  // without live rows released.
  uint32_t pageWithRoom(size_t length);
  void noteRoom(uint32_t page, const uint8_t* bytes = nullptr);  // bytes: the page, when at hand
  void afterRowsGone(uint32_t page);
  void releaseDataPage(uint32_t page);
  void forgetPlacement();
  // The row of these values into rowBytes_ (its long values stored as needed).
  void assembleInto(const std::vector<EncodedValue>& values);
  void releaseLongValues(const Located& where);
  // Gives the row's long values back and marks it gone where it is listed and where its bytes
  // are (its pages' room and maps are the caller's to note).
  void eraseRow(const Located& where);
  uint32_t lastAutoNumber() const;
  void setLastAutoNumber(uint32_t value);
  void setRowCount(uint32_t value);

  WriteContext& ctx_;
  LongValueWriter& longValues_;
  TableInfo& info_;
  const RowDecoder& decoder_;
  RowLayout layout_;
  std::unique_ptr<IndexMaintainer> indexes_;
  uint32_t insertPage_ = 0;  // data page new rows go to while they fit
  // Pages of the free-space map not yet found too full in this session, lowest first.
  std::set<uint32_t> candidates_;
  bool candidatesLoaded_ = false;
  // The page noteRoom() looked at last and whether the free-space map lists it: rows added to
  // the same page one after another leave the map alone until the page fills up.
  uint32_t notedPage_ = 0;
  bool notedListed_ = false;
  bool countersDirty_ = false;
  std::vector<bool> keyColumns_;  // what decodeKeysAt decodes; built on first use
  bool hasAutoNumber_ = false;   // a column is an auto-number (insert fills it into a copy)
  // The encoded values of the row being inserted or updated, kept so their buffers serve the
  // next row (one operation at a time uses them).
  std::vector<EncodedValue> encoded_;
  std::vector<uint8_t> rowBytes_;  // the row being inserted or updated, assembled
  RowAssembly assembly_;
};

}  // namespace jet::write
