// Table definitions as the engine exposes them: columns, indexes, counters.
// The same structures describe a table to create (TableSpec) and a table read from a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

// Column kinds, numbered as the file stores them (never change these values).
enum class ColumnKind : uint8_t {
  YesNo = 0x01,
  Byte = 0x02,
  Integer = 0x03,
  Long = 0x04,
  Currency = 0x05,
  Single = 0x06,
  Double = 0x07,
  DateTime = 0x08,
  Binary = 0x09,
  Text = 0x0A,
  OLE = 0x0B,
  Memo = 0x0C,
  ReplicationID = 0x0F,
  Decimal = 0x10,
};

// The names the command-line tool prints and accepts ("Text", "AutoNumber", ...).
// kindName() of an auto-number Long column is "AutoNumber".
std::string_view kindName(ColumnKind kind, bool autoNumber = false);
// Parses a kind name; "AutoNumber" gives Long with autoNumber set. Empty on an unknown name.
struct ParsedKind {
  ColumnKind kind;
  bool autoNumber;
};
std::optional<ParsedKind> parseKindName(std::string_view name);

// Sort orders (collations) of text columns and text indexes, as stored in the file.
struct SortOrder {
  uint16_t id = 0;       // locale id: 1033 (0x409) is "General"
  uint8_t version = 0;   // 0 is General Legacy in Jet 4 files; Jet 3 files store none
  friend bool operator==(const SortOrder&, const SortOrder&) = default;
};
std::string describe(SortOrder order);  // e.g. "General (1033, version 0)"

struct Column {
  std::string name;
  ColumnKind kind = ColumnKind::Text;
  // Stored kind byte when the engine does not know it (then kind is Binary and the
  // column reads as raw bytes).
  uint8_t rawKind = 0;
  bool unknownKind = false;
  uint16_t columnId = 0;       // the column number rows refer to (survives deleted columns)
  uint16_t size = 0;           // bytes as stored; a Jet 4 Text column of n characters has 2n
  bool fixed = false;          // stored in the fixed-length area of a row
  bool autoNumber = false;     // Long auto-increment, or Replication ID generated on insert
  bool compressedText = false; // Jet 4 Unicode compression allowed
  bool nullable = true;
  uint8_t precision = 0;       // Decimal
  uint8_t scale = 0;           // Decimal
  SortOrder sortOrder;         // Text and Memo
  uint16_t codePage = 0;       // Jet 3 text: its code page (the column's own, else the database's)

  // Characters a Text column holds (UTF-16 code units in Jet 4, bytes in Jet 3).
  int textLength(bool jet4) const { return jet4 ? size / 2 : size; }
};

struct IndexColumn {
  int column = 0;          // position in TableDef::columns
  bool ascending = true;
  friend bool operator==(const IndexColumn&, const IndexColumn&) = default;
};

struct Index {
  std::string name;
  std::vector<IndexColumn> columns;
  bool primary = false;
  bool unique = false;
  bool ignoreNulls = false;
  bool required = false;
  bool foreignKey = false;
  uint32_t firstPage = 0;  // root page of the index tree (0 for a foreign key sharing another's)
};

struct TableDef {
  std::string name;
  uint32_t definitionPage = 0;    // first page of the table definition
  std::vector<Column> columns;    // in the order "Select *" returns them
  std::vector<Index> indexes;
  uint32_t rowCount = 0;          // as stored in the definition
  uint32_t nextAutoNumber = 0;    // the value the next auto-number row gets

  // Position of the column with this name (case-insensitive), or -1.
  int findColumn(std::string_view name) const;
  const Index* findIndex(std::string_view name) const;
};

// What createTable() takes. Sizes of Text columns are in characters; other kinds ignore size.
struct ColumnSpec {
  std::string name;
  ColumnKind kind = ColumnKind::Text;
  int size = 0;             // Text: characters (1..255); 0 means 255
  bool autoNumber = false;  // Long or ReplicationID only
  bool compressedText = true;
  uint8_t precision = 18;   // Decimal
  uint8_t scale = 0;        // Decimal
  SortOrder sortOrder{1033, 0};  // Text and Memo: the sort order their index keys follow (id 0: General)
};

// A column to create from its name, kind, Text size (characters) and auto-number flag.
ColumnSpec columnSpec(std::string name, ColumnKind kind, int size = 0, bool autoNumber = false);
// What creates a column like one read from a Jet 4 file (Text size back in characters).
ColumnSpec columnSpecOf(const Column& column);

struct IndexSpec {
  std::string name;
  std::vector<std::string> columns;  // column names; a leading '-' means descending
  bool primary = false;
  bool unique = false;
  bool ignoreNulls = false;
};

struct TableSpec {
  std::string name;
  std::vector<ColumnSpec> columns;
  std::vector<IndexSpec> indexes;
};

}  // namespace jet
