// The in-memory result of an open query, stored by column: one 8-byte slot per value plus a
// null bit, with text, memo, binary and replication-id bytes kept in one shared pool. This
// keeps a million-row result within a small multiple of the table's own data size, where one
// heap object per value would not.
//
//   slot of Yes/No, Byte, Integer, Long     the integer value
//   slot of Single, Double, Date/Time       the double's bits (a Single widened)
//   slot of Currency                        the amount times 10,000
//   slot of Text, Memo, OLE, Binary, Guid   offset in the pool of [varint length][bytes]
//   slot of Decimal                         index into a side table of decimals
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/database.h"
#include "jet/value.h"

namespace qar::data {

class ResultStore {
 public:
  ResultStore() = default;
  explicit ResultStore(std::vector<jet::ColumnKind> kinds);

  size_t rowCount() const { return rowIds_.size(); }
  size_t columnCount() const { return columns_.size(); }
  jet::ColumnKind kind(size_t column) const { return columns_[column].kind; }

  void reserve(size_t rows);
  // Adds a row given in column order (its size must equal columnCount()).
  void appendRow(const jet::Row& row, jet::RowId id);
  void setCell(size_t row, size_t column, const jet::Value& value);

  bool isNull(size_t row, size_t column) const;
  jet::Value cell(size_t row, size_t column) const;
  jet::Row row(size_t row) const;
  jet::RowId rowId(size_t row) const { return rowIds_[row]; }

  // Fast reads for the key index; valid only for columns of the matching kind. A text view
  // points into the pool and is invalidated by the next append or setCell.
  int64_t integerAt(size_t row, size_t column) const;
  double doubleAt(size_t row, size_t column) const;
  std::string_view bytesAt(size_t row, size_t column) const;

  // Bytes this result holds on the heap (cells, null bits, pool, row ids, decimals).
  size_t memoryBytes() const;

 private:
  struct Column {
    jet::ColumnKind kind;
    std::vector<uint64_t> cells;
    std::vector<uint64_t> nullBits;  // bit set = Null
  };
  uint64_t encode(const Column& column, const jet::Value& value);
  void setNull(Column& column, size_t row, bool null);
  uint64_t addToPool(std::string_view bytes);

  std::vector<Column> columns_;
  std::vector<jet::RowId> rowIds_;
  std::string pool_;
  std::vector<jet::Decimal> decimals_;
};

}  // namespace qar::data
