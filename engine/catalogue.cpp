// The table catalogue and the name-to-strategy dispatch (see catalogue.h).
#include "engine/catalogue.h"

#include "base/exception.h"

namespace qar {

const std::array<CatalogueEntry, 18> TableCatalogue = {{
    {"DepartmentData", true, 1, 1},
    {"UserRightsData", false, 3, 5},
    {"CardData", true, 1, 3},
    {"TimerData", false, 3, 3},
    {"EmergencyDoorData", false, 3, 6},
    {"ControllerData", true, 1, 5},
    {"CRAppSetData", false, 2, 3},
    {"HolderData", true, 1, 2},
    {"CRCardData", false, 2, 4},
    {"CRDISetData", false, 2, 5},
    {"CRDOSetData", false, 2, 6},
    {"CRFlowData", true, 2, 2},
    {"CRModuleData", true, 2, 1},
    {"CRTimerData", false, 3, 1},
    {"CRTimeZoneData", false, 3, 2},
    {"HolidayData", false, 3, 4},
    {"HolderCardData", true, 1, 4},
    {"IOData", false, 1, 6},
}};

int catalogueIndex(const QString& name) {
  for (size_t i = 0; i < TableCatalogue.size(); ++i)
    if (name == QLatin1String(TableCatalogue[i].name)) return int(i);
  return -1;
}

QStringList defaultTables() {
  QStringList names;
  for (const CatalogueEntry& entry : TableCatalogue)
    if (entry.tickedAtStart) names << QString::fromLatin1(entry.name);
  return names;
}

QStringList orderedSelection(const QStringList& names) {
  std::array<bool, 18> chosen{};
  for (const QString& name : names) {
    int index = catalogueIndex(name);
    if (index < 0) throw Exception("Unknown table name: " + name.toStdString());
    chosen[size_t(index)] = true;
  }
  const int holder = catalogueIndex(QStringLiteral("HolderData"));
  const int department = catalogueIndex(QStringLiteral("DepartmentData"));
  if (chosen[size_t(holder)]) chosen[size_t(department)] = true;

  QStringList ordered;
  for (size_t i = 0; i < TableCatalogue.size(); ++i)
    if (chosen[i]) ordered << QString::fromLatin1(TableCatalogue[i].name);
  return ordered;
}

TransferStrategy strategyFor(const QString& table) {
  static const char* const mergeOneKey[] = {"DepartmentData", "UserRightsData", "ControllerData",
                                            "CRCardData"};
  static const char* const mergeTwoKeys[] = {"CRAppSetData", "CRDISetData",  "CRDOSetData",
                                             "CRModuleData", "CRTimerData",  "CRTimeZoneData"};
  for (const char* name : mergeOneKey)
    if (table == QLatin1String(name)) return TransferStrategy::MergeOneKey;
  if (refreshTestColumn(table) >= 0) return TransferStrategy::PositionalRefresh;
  for (const char* name : mergeTwoKeys)
    if (table == QLatin1String(name)) return TransferStrategy::MergeTwoKeys;
  return TransferStrategy::ReplaceAll;
}

int refreshTestColumn(const QString& table) {
  if (table == QLatin1String("CardData")) return 2;
  if (table == QLatin1String("HolderData")) return 6;
  return -1;
}

}  // namespace qar
