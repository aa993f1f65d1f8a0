// Which (first key, second key) pairs a destination table holds, so a two-key merge knows at
// once whether its forward scan can find a record and skips the scan when it cannot. First
// keys are grouped as the key search matches them (text ignoring letter case as the engine's
// indexes compare it, other kinds by their text form); second keys by their exact text.
#pragma once

#include <QString>

#include <string>
#include <unordered_set>

namespace qar::data {
class TField;
}

namespace qar {

// The group a first-key field's current value belongs to: the engine's sort key for text
// fields, the text form for every other kind.
std::string keyGroupOf(const data::TField& field);

class KeyPairIndex {
 public:
  void add(const std::string& firstKeyGroup, const QString& secondKeyText);
  bool contains(const std::string& firstKeyGroup, const QString& secondKeyText) const;
  size_t size() const { return pairs_.size(); }

 private:
  static std::string joined(const std::string& group, const QString& text);
  std::unordered_set<std::string> pairs_;
};

}  // namespace qar
