// TADOQuery's key search: criteria built from the key fields and values, answered from an
// in-memory index of the open result on those fields (built at the first search on them).
#include "base/exception.h"
#include "data/criterion.h"
#include "data/query.h"

namespace qar::data {

bool TADOQuery::Locate(const QString& keyFields, const Variant& keyValue, TLocateOptions options) {
  checkActive();
  finishPending();
  try {
    return search(keyFields, std::span<const Variant>(&keyValue, 1), options);
  } catch (const std::exception&) {  // qar::Exception, jet::Error and the library's own
    return false;
  }
}

bool TADOQuery::Locate(const QString& keyFields, const std::vector<Variant>& keyValues,
                       TLocateOptions options) {
  checkActive();
  finishPending();
  try {
    return search(keyFields, keyValues, options);
  } catch (const std::exception&) {
    return false;
  }
}

KeyIndex& TADOQuery::indexFor(const std::vector<int>& columns, bool prefix) {
  std::string signature = prefix ? "p" : "e";
  for (int c : columns) signature += ":" + std::to_string(c);
  auto& slot = indexes_[signature];
  if (!slot) {
    std::vector<FieldDef> defs;
    for (int c : columns) defs.push_back(fields_[static_cast<size_t>(c)]->Def());
    auto index = std::make_unique<KeyIndex>(columns, std::move(defs), prefix);
    index->build(store_);
    slot = std::move(index);
  }
  return *slot;
}

bool TADOQuery::search(const QString& keyFields, std::span<const Variant> values, TLocateOptions options) {
  if (plan_.keyFields != keyFields || plan_.columns.empty()) {
    plan_ = SearchPlan();
    plan_.keyFields = keyFields;
    for (const QString& name : keyFields.split(u';')) {
      TField* field = FindField(name.trimmed());
      if (!field) {
        plan_.columns.clear();
        break;
      }
      plan_.columns.push_back(field->Index());
    }
  }
  const std::vector<int>& columns = plan_.columns;
  if (columns.empty() || columns.size() != values.size()) return false;
  criteria_.clear();
  bool prefix = false;
  for (size_t k = 0; k < columns.size(); ++k) {
    const TField& field = *fields_[static_cast<size_t>(columns[k])];
    bool last = k + 1 == columns.size();
    auto criterion = criterionFor(field.FieldName(), field.DataType(), values[k],
                                  last && options.testFlag(loPartialKey));
    if (!criterion) return false;
    prefix = criterion->like;
    criteria_.push_back(std::move(*criterion));
  }
  KeyIndex*& cached = prefix ? plan_.prefix : plan_.exact;
  if (!cached) cached = &indexFor(columns, prefix);
  if (!cached->probe(criteria_, probe_)) return false;
  auto row = cached->find(probe_);
  if (!row) return false;
  current_ = *row;
  eof_ = false;
  return true;
}

}  // namespace qar::data
