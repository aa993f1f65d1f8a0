// Writing a table definition (layout in jet/format/table_def.h) as one byte string, the first
// page's header included; the writer spreads it over pages. Parts go in the order the format
// stores them: begin (block and index counts), columns, column names, real indexes, logical
// indexes, index names, then finish. Jet 4 definitions carry the constants Access writes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jet/codec/table_def_view.h"

namespace jet::codec {

class TableDefBuilder {
 public:
  explicit TableDefBuilder(Format format) : format_(format) {}

  // The page header, the block and block.realIndexes zeroed entries of counts.
  void begin(const TableDefBlock& block);
  void addColumn(const ColumnDescriptor& column);
  // A name as stored (code page bytes in Jet 3, UTF-16 in Jet 4), after its length.
  void addName(std::span<const uint8_t> stored);
  void addRealIndex(const RealIndexDescriptor& index);
  void addLogicalIndex(const LogicalIndexDescriptor& index);
  void addColumnUsage(const ColumnUsageEntry& entry);
  // Ends the column usage maps, stores the length and hands the bytes over.
  std::vector<uint8_t> finish();

 private:
  uint8_t* grow(uint32_t n);

  Format format_;
  std::vector<uint8_t> out_;
};

}  // namespace jet::codec
