// The table catalogue and what is looked up in it (see catalogue.h).
#include "engine/catalogue.h"

#include "base/exception.h"

namespace qar {

namespace {

constexpr TableRule oneKey{TransferStrategy::MergeOneKey, 0, -1};
constexpr TableRule twoKeys{TransferStrategy::MergeTwoKeys, 0, 1};
constexpr TableRule replaceAll{TransferStrategy::ReplaceAll, -1, -1};
constexpr TableRule refreshOn(int testColumn) {
  return {TransferStrategy::PositionalRefresh, testColumn, -1};
}

}  // namespace

const std::array<CatalogueEntry, 18> TableCatalogue = {{
    {"DepartmentData", oneKey, true, 1, 1, nullptr},
    {"UserRightsData", oneKey, false, 3, 5, nullptr},
    {"CardData", refreshOn(2), true, 1, 3, nullptr},
    {"TimerData", replaceAll, false, 3, 3, nullptr},
    {"EmergencyDoorData", replaceAll, false, 3, 6, nullptr},
    {"ControllerData", oneKey, true, 1, 5, nullptr},
    {"CRAppSetData", twoKeys, false, 2, 3, nullptr},
    {"HolderData", refreshOn(6), true, 1, 2, "DepartmentData"},
    {"CRCardData", oneKey, false, 2, 4, nullptr},
    {"CRDISetData", twoKeys, false, 2, 5, nullptr},
    {"CRDOSetData", twoKeys, false, 2, 6, nullptr},
    {"CRFlowData", replaceAll, true, 2, 2, nullptr},
    {"CRModuleData", twoKeys, true, 2, 1, nullptr},
    {"CRTimerData", twoKeys, false, 3, 1, nullptr},
    {"CRTimeZoneData", twoKeys, false, 3, 2, nullptr},
    {"HolidayData", replaceAll, false, 3, 4, nullptr},
    {"HolderCardData", replaceAll, true, 1, 4, nullptr},
    {"IOData", replaceAll, false, 1, 6, nullptr},
}};

int catalogueIndex(const QString& name) {
  for (size_t i = 0; i < TableCatalogue.size(); ++i)
    if (name == QLatin1String(TableCatalogue[i].name)) return int(i);
  return -1;
}

const CatalogueEntry* catalogueEntry(const QString& name) {
  const int index = catalogueIndex(name);
  return index < 0 ? nullptr : &TableCatalogue[size_t(index)];
}

QStringList defaultTables() {
  QStringList names;
  for (const CatalogueEntry& entry : TableCatalogue)
    if (entry.tickedAtStart) names << QString::fromLatin1(entry.name);
  return names;
}

QStringList orderedSelection(const QStringList& names) {
  std::array<bool, TableCatalogue.size()> chosen{};
  for (const QString& name : names) {
    const int index = catalogueIndex(name);
    if (index < 0) throw Exception("Unknown table name: " + name.toStdString());
    chosen[size_t(index)] = true;
  }
  // Until nothing changes, so a required table's own requirement is followed too.
  for (bool changed = true; changed;) {
    changed = false;
    for (size_t i = 0; i < TableCatalogue.size(); ++i) {
      if (!chosen[i] || TableCatalogue[i].requiredTable == nullptr) continue;
      const int required = catalogueIndex(QLatin1String(TableCatalogue[i].requiredTable));
      if (required >= 0 && !chosen[size_t(required)]) chosen[size_t(required)] = changed = true;
    }
  }

  QStringList ordered;
  for (size_t i = 0; i < TableCatalogue.size(); ++i)
    if (chosen[i]) ordered << QString::fromLatin1(TableCatalogue[i].name);
  return ordered;
}

TableRule tableRule(const QString& table) {
  const CatalogueEntry* entry = catalogueEntry(table);
  return entry ? entry->rule : replaceAll;
}

TransferStrategy strategyFor(const QString& table) { return tableRule(table).strategy; }

int refreshTestColumn(const QString& table) {
  const TableRule rule = tableRule(table);
  return rule.strategy == TransferStrategy::PositionalRefresh ? rule.keyColumn : -1;
}

}  // namespace qar
