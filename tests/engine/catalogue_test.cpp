// The table catalogue, the order a selection is processed in, and the strategy each name
// selects.
#include <gtest/gtest.h>

#include "base/exception.h"
#include "engine/catalogue.h"
#include "engine/selection.h"

namespace qar {
namespace {

TEST(Catalogue, SevenTablesTickedAtStartInProcessingOrder) {
  EXPECT_EQ(defaultTables(),
            QStringList({"DepartmentData", "CardData", "ControllerData", "HolderData", "CRFlowData",
                         "CRModuleData", "HolderCardData"}));
}

TEST(Catalogue, SelectionFollowsCatalogueOrderWhateverOrderNamesCome) {
  EXPECT_EQ(orderedSelection({"IOData", "CardData", "TimerData", "CardData"}),
            QStringList({"CardData", "TimerData", "IOData"}));
}

TEST(Catalogue, HolderDataBringsDepartmentDataFirst) {
  EXPECT_EQ(orderedSelection({"HolderData"}), QStringList({"DepartmentData", "HolderData"}));
  EXPECT_EQ(orderedSelection({"HolderCardData"}), QStringList({"HolderCardData"}));
}

TEST(Catalogue, UnknownOrMiscasedNameIsRefused) {
  EXPECT_THROW(orderedSelection({"NoSuchTable"}), Exception);
  try {
    orderedSelection({"carddata"});
    FAIL() << "a name differing in case was accepted";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("carddata"), std::string::npos);
  }
}

TEST(Catalogue, DispatchByExactName) {
  for (const char* name : {"DepartmentData", "UserRightsData", "ControllerData", "CRCardData"})
    EXPECT_EQ(strategyFor(name), TransferStrategy::MergeOneKey) << name;
  for (const char* name : {"CRAppSetData", "CRDISetData", "CRDOSetData", "CRModuleData",
                           "CRTimerData", "CRTimeZoneData"})
    EXPECT_EQ(strategyFor(name), TransferStrategy::MergeTwoKeys) << name;
  EXPECT_EQ(strategyFor("CardData"), TransferStrategy::PositionalRefresh);
  EXPECT_EQ(strategyFor("HolderData"), TransferStrategy::PositionalRefresh);
  EXPECT_EQ(refreshTestColumn("CardData"), 2);
  EXPECT_EQ(refreshTestColumn("HolderData"), 6);
  for (const char* name : {"TimerData", "EmergencyDoorData", "CRFlowData", "HolidayData",
                           "HolderCardData", "IOData", "departmentdata", "CardData ", ""})
    EXPECT_EQ(strategyFor(name), TransferStrategy::ReplaceAll) << name;
}

TEST(Catalogue, EveryRuleNamesTheColumnsItsStrategyNeedsAndEveryRequirementResolves) {
  for (const CatalogueEntry& entry : TableCatalogue) {
    const TableRule& rule = entry.rule;
    EXPECT_EQ(tableRule(entry.name).strategy, rule.strategy) << entry.name;
    switch (rule.strategy) {
      case TransferStrategy::MergeOneKey:
        EXPECT_EQ(rule.keyColumn, 0) << entry.name;
        EXPECT_EQ(rule.secondKeyColumn, -1) << entry.name;
        break;
      case TransferStrategy::MergeTwoKeys:
        EXPECT_EQ(rule.keyColumn, 0) << entry.name;
        EXPECT_EQ(rule.secondKeyColumn, 1) << entry.name;
        break;
      case TransferStrategy::PositionalRefresh:
        EXPECT_EQ(rule.keyColumn, refreshTestColumn(entry.name)) << entry.name;
        break;
      case TransferStrategy::ReplaceAll:
        EXPECT_EQ(rule.keyColumn, -1) << entry.name;
        break;
    }
    if (entry.requiredTable != nullptr) {
      // A required table is processed first, so its records are there when they are referred to.
      const int required = catalogueIndex(entry.requiredTable);
      ASSERT_GE(required, 0) << entry.name;
      EXPECT_LT(required, catalogueIndex(entry.name)) << entry.name;
      EXPECT_EQ(orderedSelection({entry.name}),
                QStringList({entry.requiredTable, entry.name}));
    }
  }
}

TEST(Selection, SlotsFillFromOneAndRefuseANineteenth) {
  clearSelection();
  for (const CatalogueEntry& entry : TableCatalogue) addSelectedTable(entry.name);
  EXPECT_EQ(SelectedCount, 18);
  EXPECT_EQ(SelectedTables[1], "DepartmentData");
  EXPECT_EQ(SelectedTables[18], "IOData");
  EXPECT_TRUE(SelectedTables[0].isEmpty());
  EXPECT_THROW(addSelectedTable("Extra"), Exception);
  EXPECT_EQ(SelectedCount, 18);
  clearSelection();
  EXPECT_EQ(SelectedCount, 0);
  EXPECT_TRUE(SelectedTables[18].isEmpty());
}

}  // namespace
}  // namespace qar
