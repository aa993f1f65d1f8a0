// Which (first key, second key) pairs a destination table holds, and the first record
// (in the destination's order) holding each, so a two-key merge goes straight to the record
// its forward scan would reach, or knows at once that there is none. First
// keys are grouped as the key search matches them (text ignoring letter case as the engine's
// indexes compare it, other kinds by their text form); second keys by their exact text.
#pragma once

#include <QString>

#include <string>
#include <unordered_map>

namespace qar::data {
class TField;
}

namespace qar {

// The group a first-key field's current value belongs to: the engine's sort key for text
// fields (in the field's sort order), the text form for every other kind.
std::string keyGroupOf(const data::TField& field);

class KeyPairIndex {
 public:
  // Notes that record recNo (1-based) holds the pair; a pair keeps its first record.
  void add(const std::string& firstKeyGroup, const QString& secondKeyText, int recNo);
  // The first record holding the pair, or 0 when none does.
  int find(const std::string& firstKeyGroup, const QString& secondKeyText) const;
  size_t size() const { return pairs_.size(); }

 private:
  static std::string joined(const std::string& group, const QString& text);
  std::unordered_map<std::string, int> pairs_;
};

}  // namespace qar
