// Key pairs of a destination table for the two-key merge (see key_pair_index.h).
#include "engine/key_pair_index.h"

#include "data/field.h"
#include "jet/collation.h"

namespace qar {

std::string keyGroupOf(const data::TField& field) {
  using data::TFieldType;
  switch (field.DataType()) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar:
    case TFieldType::ftWideString:
    case TFieldType::ftMemo:
      if (field.IsNull()) return std::string(1, '\0');
      return "t" + jet::textSortKey(field.AsString().toStdString(), field.Def().column.sortOrder);
    default:
      return "v" + field.AsString().toStdString();
  }
}

std::string KeyPairIndex::joined(const std::string& group, const QString& text) {
  // The group's length first, so no pair of strings can run into another.
  std::string key = std::to_string(group.size());
  key += ':';
  key += group;
  key += text.toStdString();
  return key;
}

void KeyPairIndex::add(const std::string& firstKeyGroup, const QString& secondKeyText, int recNo) {
  pairs_.emplace(joined(firstKeyGroup, secondKeyText), recNo);
}

int KeyPairIndex::find(const std::string& firstKeyGroup, const QString& secondKeyText) const {
  auto it = pairs_.find(joined(firstKeyGroup, secondKeyText));
  return it == pairs_.end() ? 0 : it->second;
}

}  // namespace qar
