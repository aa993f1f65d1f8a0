// Index keys as Access stores them in Jet 4 (and Jet 3) index entries, built from typed
// values (never from row bytes). An entry's key is the concatenation of one field per
// index column; entries sort by plain unsigned byte comparison of their keys.
//
// One column's field:
//   Null:      00 (ascending) or FF (descending), nothing more
//   otherwise: 7F (ascending) or 80 (descending), then the value's bytes, big-endian,
//              arranged so that byte order is value order; descending inverts them.
// Yes/No columns are never Null in a key (Null counts as No).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/format/types.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

// Key bytes are compared as unsigned bytes (std::vector's operator< does exactly that).
using KeyBytes = std::vector<uint8_t>;

// Whether the engine can build text keys in this sort order for files of this format: the
// General order (1033) of Jet 4 files, version 0, the General order of Jet 3 files (for text
// in code page 1252: KeyEncoder refuses Jet 3 text indexes of other code pages), and the
// Jet 4 sort orders with proven characters (jet/index/proven_sort_orders.h), whose keys
// are built only for values made of those characters. Indexes in other sort orders can be
// read but not written.
bool canEncodeSortOrder(Format format, SortOrder order);
// Whether every text key of the order can be built (General); false for a proven order.
bool encodesEveryText(Format format, SortOrder order);

// One index column, as the encoder needs it.
struct KeyColumn {
  ColumnKind kind = ColumnKind::Long;
  bool ascending = true;
  SortOrder sortOrder;  // Text and Memo
  uint8_t scale = 0;    // Decimal: the column's digits after the point
  Format format = Format::Jet4;  // Jet 3 files build text keys in their older General order
};

// Appends one column's field for value to out. The value must be of the alternative the
// column kind reads as (see jet/value.h); integers of another width, and integers for
// floating kinds, are accepted when they convert exactly (key searches pass them).
// Throws jet::Error (Invalid) for a value the column cannot hold, (Unsupported) for a
// kind that cannot be indexed or a text holding a character unproven in the column's sort
// order; out is then left as it was.
void appendKeyField(const KeyColumn& column, const Value& value, KeyBytes& out);

// The key builder of one index of a table.
class KeyEncoder {
 public:
  // Resolves the index's columns against the table. An index the engine cannot write (a
  // text sort order it does not encode, a column of unknown kind) still gets an encoder;
  // writable() is then false and encoding throws the reason.
  KeyEncoder(const TableDef& table, const Index& index, Format format);

  bool writable() const { return reason_.empty(); }
  // Why the index cannot be written, naming the index, table and sort order; else empty.
  const std::string& unsupportedReason() const { return reason_; }

  const std::vector<KeyColumn>& columns() const { return columns_; }
  // Positions in the table's row of the index's columns.
  const std::vector<int>& rowPositions() const { return positions_; }

  // The key of a whole row (values in table column order), appended to out. A text value
  // with a character unproven in its column's sort order throws Error(Unsupported) naming
  // the index, table, value and character.
  void encodeRow(const Row& row, KeyBytes& out) const;
  // True when some text column's keys are built only for proven characters: only then can
  // a row's key be refused for its characters.
  bool provenOnly() const { return provenOnly_; }
  // Throws what encodeRow would for the row's characters; nothing for a row it can encode.
  void requireProvenRow(const Row& row) const;
  // The key of the leading key.size() index columns (one value each, in index order),
  // appended to out: a full key, or the prefix shared by all keys starting with these values.
  void encodeKey(const Row& key, KeyBytes& out) const;

  // True when every index column of the row is Null (such rows stay out of an index that
  // ignores Nulls, and never clash in a unique index).
  bool allNull(const Row& row) const;

 private:
  void check() const;
  std::vector<KeyColumn> columns_;
  std::string where_;  // "index <name> of table <name>"
  bool provenOnly_ = false;
  std::vector<int> positions_;
  std::string reason_;
};

}  // namespace jet
