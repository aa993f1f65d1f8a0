// A table definition decoded from its pages: the public TableDef plus the raw facts the
// row decoder, the writer and the index code need (column numbering, usage map references,
// where each field of the definition lives so it can be rewritten in place).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/codec/table_def_view.h"
#include "jet/format/types.h"
#include "jet/pager/pager.h"
#include "jet/schema.h"

namespace jet {

// How a column is stored in rows; same order as TableDef::columns.
struct ColumnStorage {
  uint16_t number = 0;        // bit in the null mask; rows with fewer columns lack it
  uint16_t varIndex = 0;      // entry in the variable offset table (variable columns)
  uint16_t fixedOffset = 0;   // offset in the fixed area (fixed columns)
  uint8_t flags = 0;          // format::tabledef::kFixed, kNullable, ...
  uint8_t extFlags = 0;       // Jet 4: kCompressedUnicode
  uint32_t descriptorOffset = 0;  // of the column descriptor, in TableInfo::bytes
};

struct RealIndexInfo {
  struct Col {
    uint16_t columnNumber = 0;
    bool ascending = true;
  };
  std::vector<Col> columns;
  RowRef usedPages;
  uint32_t firstPage = 0;
  uint8_t flags = 0;               // format::tabledef::kUnique, kIgnoreNulls, kRequired
  uint32_t rowCountOffset = 0;     // of this index's entry of counts, in TableInfo::bytes
  uint32_t distinctKeysOffset = 0; // of its count of distinct keys, in TableInfo::bytes
  uint32_t descriptorOffset = 0;   // of the real index block, in TableInfo::bytes
};

struct LogicalIndexInfo {
  uint32_t number = 0;             // index number
  uint32_t realIndex = 0;          // entry in TableInfo::realIndexes
  uint8_t type = 0;                // format::tabledef::kPrimaryKey, kForeignKey, 0
  uint8_t relatedTableType = 0;
  uint32_t relatedIndex = 0xFFFFFFFF;
  uint32_t relatedTablePage = 0;
  bool cascadeUpdates = false;
  bool cascadeDeletes = false;
  uint32_t descriptorOffset = 0;
};

struct ColumnUsage {
  uint16_t columnNumber = 0;
  RowRef ownedPages, freePages;
  uint32_t offset = 0;
};

struct TableInfo {
  Format format = Format::Jet4;
  TableDef def;                         // def.indexes[i] is logicalIndexes[i]
  std::vector<ColumnStorage> storage;   // one per def.columns entry
  uint8_t tableType = 0;
  uint16_t maxColumns = 0;              // null mask width of new rows (deleted columns count)
  uint16_t varColumns = 0;
  RowRef ownedPages, freePages;
  std::vector<RealIndexInfo> realIndexes;
  std::vector<LogicalIndexInfo> logicalIndexes;
  std::vector<ColumnUsage> columnUsage;
  uint32_t nameEnd = 0;                 // offset after the last index name

  // The definition as one byte string: the first page, then each further page after its
  // 8-byte header. pages lists the pages in that order.
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> pages;
  // Offsets in bytes of the stored row count and next auto-number.
  uint32_t rowCountOffset = 0;
  uint32_t nextAutoNumberOffset = 0;

  struct Location {
    uint32_t page;
    uint32_t offset;
  };
  // The page and in-page offset holding byte `offset` of bytes.
  Location locate(uint32_t offset, uint32_t pageSize) const;
};

// Reads and decodes the definition starting at definitionPage. name goes into def.name;
// codePage is the database's (for Jet 3 names). Unknown column kinds are read as Binary and
// described in warnings. Throws ErrorKind::Corrupt naming the page on anything malformed.
TableInfo readTableInfo(Pager& pager, Format format, uint32_t definitionPage, const std::string& name,
                        uint16_t codePage, std::vector<std::string>* warnings);

}  // namespace jet
