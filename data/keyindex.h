// The in-memory index a key search is answered from: built over an open result on the
// searched key fields at the first search, kept current as records are appended and posted.
// A key is the concatenation of one normalized component per key field, so equal keys mean
// equal criteria: text as the column's sort order keys it (jet::textSortKey: letter case
// ignored; in a sort order whose keys the engine cannot build for the text, the text itself
// with ASCII case ignored), numbers and dates as their text forms compare.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/criterion.h"
#include "data/field.h"
#include "data/resultstore.h"

namespace qar::data {

class KeyIndex {
 public:
  // prefix: the last key field is matched by prefix (partial-key search on a text field).
  KeyIndex(std::vector<int> columns, std::vector<FieldDef> defs, bool prefix);

  const std::vector<int>& columns() const { return columns_; }
  bool prefix() const { return prefix_; }

  void build(const ResultStore& store);
  // Keep the index current: remove() before a row's values change (it needs the old key),
  // add() after a row was appended or changed.
  void add(const ResultStore& store, uint32_t row);
  void remove(const ResultStore& store, uint32_t row);

  // The probe key for the parsed criteria of the key fields, in order; empty when a
  // criterion cannot match anything of its field's type (then the search fails).
  std::optional<std::string> probe(const std::vector<Criterion>& criteria) const;
  // The same into a buffer the caller reuses; false for "cannot match".
  bool probe(const std::vector<Criterion>& criteria, std::string& key) const;
  // The first row, in the result's order, whose key is the probe (or, for a prefix
  // index, the first row in key order whose key starts with it).
  std::optional<uint32_t> find(const std::string& probe) const;

  size_t memoryBytes() const;

 private:
  std::string rowKey(const ResultStore& store, uint32_t row) const;

  std::vector<int> columns_;
  std::vector<FieldDef> defs_;  // of the key fields, in key order
  bool prefix_;

  // Exact index: key -> first and last row with it; next_ chains rows of equal keys in order.
  struct Chain {
    uint32_t head;
    uint32_t tail;
  };
  std::unordered_map<std::string, Chain> chains_;
  std::vector<uint32_t> next_;

  // Prefix index: (key, row), sorted.
  struct Entry {
    std::string key;
    uint32_t row;
  };
  std::vector<Entry> sorted_;
};

}  // namespace qar::data
