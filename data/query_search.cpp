// TADOQuery's key search: criteria built from the key fields and values, answered from an
// in-memory index of the open result on those fields (built at the first search on them).
#include "base/exception.h"
#include "data/criterion.h"
#include "data/query.h"

namespace qar::data {

bool TADOQuery::Locate(const QString& keyFields, const Variant& keyValue, TLocateOptions options) {
  return Locate(keyFields, std::vector<Variant>{keyValue}, options);
}

bool TADOQuery::Locate(const QString& keyFields, const std::vector<Variant>& keyValues,
                       TLocateOptions options) {
  checkActive();
  finishPending();
  try {
    return search(keyFields.split(u';'), keyValues, options);
  } catch (const qar::Exception&) {
    return false;
  } catch (const jet::Error&) {
    return false;
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

bool TADOQuery::search(const QStringList& names, const std::vector<Variant>& values,
                       TLocateOptions options) {
  if (names.size() != static_cast<qsizetype>(values.size()) || names.isEmpty()) return false;
  std::vector<int> columns;
  std::vector<Criterion> criteria;
  bool prefix = false;
  for (qsizetype k = 0; k < names.size(); ++k) {
    TField* field = FindField(names[k].trimmed());
    if (!field) return false;
    bool last = k + 1 == names.size();
    QString text = buildCriterion(field->FieldName(), field->DataType(), values[static_cast<size_t>(k)],
                                  last && options.testFlag(loPartialKey));
    auto criterion = parseCriterion(text);
    if (!criterion) return false;
    prefix = criterion->like;
    columns.push_back(field->Index());
    criteria.push_back(std::move(*criterion));
  }
  KeyIndex& index = indexFor(columns, prefix);
  auto probe = index.probe(criteria);
  if (!probe) return false;
  auto row = index.find(*probe);
  if (!row) return false;
  current_ = *row;
  eof_ = false;
  return true;
}

}  // namespace qar::data
