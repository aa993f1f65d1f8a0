// Turning a row's bytes into typed values, one per column of the table definition.
#pragma once

#include <cstdint>
#include <string>

#include "jet/format/types.h"
#include "jet/pager/pager.h"
#include "jet/table_info.h"
#include "jet/value.h"

namespace jet {

class RowDecoder {
 public:
  // The decoder keeps references to info and pager; both must outlive it.
  RowDecoder(const TableInfo& info, Pager& pager, uint16_t databaseCodePage);

  // Decodes the row at data/size (found at `where`, for messages) into out, resized to the
  // table's column count. Columns the row does not store (added after it was written) read
  // as Null (Yes/No: false). Throws ErrorKind::Corrupt naming table, page and row.
  void decode(const uint8_t* data, size_t size, RowId where, Row& out) const;
  // The same for the columns `wanted` marks (by position); the others read as Null.
  void decode(const uint8_t* data, size_t size, RowId where, Row& out, const std::vector<bool>& wanted) const;
  // Checks the whole row as decode() does (bounds, sizes, long values followed to their last
  // byte) but builds only the values of the columns `wanted` marks; the others read as Null.
  // Throws what decode() would.
  void check(const uint8_t* data, size_t size, RowId where, Row& out, const std::vector<bool>& wanted) const;

  // The code page of Jet 3 text (the database's; a column may name its own).
  uint16_t codePage() const { return codePage_; }

  // The value of one column's stored bytes (not a Yes/No column, which lives in the null mask).
  Value decodeValue(size_t column, const uint8_t* bytes, size_t len, RowId where) const;

 private:
  void decodeColumns(const uint8_t* data, size_t size, RowId where, Row& out, const std::vector<bool>* wanted,
                     bool checkOthers = false) const;
  // Checks one column's stored bytes without building its value; out becomes Null.
  void checkUnbuilt(size_t column, const uint8_t* bytes, size_t len, RowId where, Value& out) const;
  [[noreturn]] void fail(RowId where, const std::string& what) const;
  // "table T, column C (page P row R)": what a long value's message starts with.
  std::string longValueContext(const Column& col, RowId where) const;

  const TableInfo& info_;
  // The variable-offset table of the row being decoded, kept so decoding allocates nothing
  // for it (nothing decodes another row of this table while one is decoded).
  mutable std::vector<uint32_t> offsets_;
  mutable Bytes longValue_;  // the bytes of the Memo being decoded, kept for the next one
  Pager& pager_;
  uint16_t codePage_;
};

// The bytes a fixed column of this kind occupies (Text and Binary: the column's size).
uint32_t fixedSizeOf(const Column& column);

}  // namespace jet
