// Reading a table definition (layout in jet/format/table_def.h) from its joined bytes, Jet 3
// or Jet 4: the block, column descriptors, names, real and logical indexes and the column
// usage maps, every read checked against the bytes. The shared field structs live here too.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "jet/format/table_def.h"
#include "jet/format/types.h"
#include "jet/util/bytes.h"

namespace jet {

// A reference to a row holding a usage map (or any row): row number and page.
struct RowRef {
  uint8_t row = 0;
  uint32_t page = 0;
  bool valid() const { return page != 0; }
};
// Decodes the 4-byte form (row number, then 3-byte page number).
inline RowRef decodeRowRef(const uint8_t* p) { return RowRef{p[0], le24(p + 1)}; }
inline void encodeRowRef(uint8_t* p, RowRef ref) {
  p[0] = ref.row;
  put24(p + 1, ref.page);
}

}  // namespace jet

namespace jet::codec {

// The fixed block at the start of a definition.
struct TableDefBlock {
  uint32_t rowCount = 0;
  uint32_t lastAutoNumber = 0;  // the last Long auto-number handed out
  uint8_t tableType = format::tabledef::kUserTable;
  uint16_t maxColumns = 0, varColumns = 0, columns = 0;
  uint32_t logicalIndexes = 0, realIndexes = 0;
  RowRef ownedPages, freePages;
};

// One column descriptor, every field as stored (fields the format lacks read as 0).
struct ColumnDescriptor {
  uint8_t kind = 0;
  uint16_t number = 0, varIndex = 0, index = 0;
  uint16_t sortOrder = 0;
  uint8_t sortVersion = 0;  // Jet 4
  uint16_t codePage = 0;    // Jet 3
  uint8_t precision = 0, scale = 0;  // Decimal: stored where text columns keep the sort order
  uint8_t flags = 0, extFlags = 0;
  uint16_t fixedOffset = 0, length = 0;
};

struct IndexColumnSlot {
  uint16_t number = format::tabledef::kNoColumn;  // kNoColumn: unused
  uint8_t order = 0;                              // kAscending or kDescending
};

struct RealIndexDescriptor {
  std::array<IndexColumnSlot, format::tabledef::kIndexColumnSlots> columns{};  // unused ones hold kNoColumn
  RowRef usedPages;
  uint32_t firstPage = 0;
  uint8_t flags = 0;
};

struct LogicalIndexDescriptor {
  uint32_t number = 0, realIndex = 0;
  uint8_t relatedTableType = 0;
  uint32_t relatedIndex = 0xFFFFFFFF;
  uint32_t relatedTablePage = 0;
  uint8_t cascadeUpdates = 0, cascadeDeletes = 0;
  uint8_t type = 0;
};

struct ColumnUsageEntry {
  uint16_t columnNumber = 0;
  RowRef ownedPages, freePages;
};

// Where the fields a writer rewrites in place live, in the joined bytes.
uint32_t rowCountOffset(Format format);
uint32_t lastAutoNumberOffset(Format format);
uint32_t realIndexCountOffset(Format format, uint32_t index);  // the index's entry of counts
uint32_t distinctKeysOffset(Format format, uint32_t index);    // its count of distinct keys
// Where the column descriptors start, after the real indexes' counts.
uint32_t columnsOffset(Format format, uint32_t realIndexes);

class TableDefView {
 public:
  // bytes: the joined definition; subject names it in errors ("table definition of X (page N)").
  TableDefView(std::span<const uint8_t> bytes, Format format, std::string subject);

  Format format() const { return format_; }
  size_t size() const { return bytes_.size(); }

  TableDefBlock block() const;
  ColumnDescriptor column(uint32_t offset) const;
  RealIndexDescriptor realIndex(uint32_t offset) const;
  LogicalIndexDescriptor logicalIndex(uint32_t offset) const;
  // The stored bytes of the name at pos (code page text in Jet 3, UTF-16 in Jet 4); moves pos
  // past it.
  std::span<const uint8_t> name(uint32_t& pos) const;
  // The column usage entry at pos; false at the end marker or where the bytes run out (older
  // files stop early). Moves pos past the entry read.
  bool columnUsage(uint32_t& pos, ColumnUsageEntry& entry) const;

  // Checks that len bytes from offset are present; throws Error(Corrupt) naming what otherwise.
  void require(uint32_t offset, uint32_t len, const char* what) const;
  [[noreturn]] void fail(uint32_t offset, const std::string& what) const;

 private:
  const uint8_t* at(uint32_t offset, uint32_t len, const char* what) const;
  uint8_t u8(uint32_t o, const char* what) const { return *at(o, 1, what); }
  uint16_t u16(uint32_t o, const char* what) const { return le16(at(o, 2, what)); }
  uint32_t u32(uint32_t o, const char* what) const { return le32(at(o, 4, what)); }

  std::span<const uint8_t> bytes_;
  Format format_;
  std::string subject_;
};

}  // namespace jet::codec
