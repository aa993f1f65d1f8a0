// The in-memory result store and the key index over it: values of every kind kept exactly,
// text keys compared as the engine compares them, numbers and dates by their text forms,
// the first of equal keys in result order, and an index kept current through changes.
#include <gtest/gtest.h>

#include "data/criterion.h"
#include "data/keyindex.h"
#include "data/resultstore.h"
#include "data_fixtures.h"

using namespace qar::data;
using qar::data::testing::LocaleGuard;

namespace {

using K = jet::ColumnKind;

struct Table {
  std::vector<FieldDef> defs;
  ResultStore store;
  explicit Table(const std::vector<std::pair<const char*, K>>& cols) {
    std::vector<jet::Column> columns;
    std::vector<K> kinds;
    for (auto& [name, kind] : cols) {
      jet::Column c;
      c.name = name;
      c.kind = kind;
      c.size = 100;
      columns.push_back(c);
      kinds.push_back(kind);
    }
    defs = makeFieldDefs(columns, true);
    store = ResultStore(kinds);
  }
  void add(jet::Row row) { store.appendRow(row, jet::RowId{static_cast<uint32_t>(store.rowCount()), 0}); }
  // The row a search on these columns for these values lands on (-1 for none).
  int find(KeyIndex& index, const std::vector<Variant>& values, bool partial = false) {
    std::vector<Criterion> criteria;
    for (size_t i = 0; i < values.size(); ++i) {
      const FieldDef& d = defs[static_cast<size_t>(index.columns()[i])];
      auto c = parseCriterion(buildCriterion(d.name, d.type, values[i], partial && i + 1 == values.size()));
      if (!c) return -1;
      criteria.push_back(*c);
    }
    auto probe = index.probe(criteria);
    if (!probe) return -1;
    auto row = index.find(*probe);
    return row ? static_cast<int>(*row) : -1;
  }
  KeyIndex index(std::vector<int> cols, bool prefix = false) {
    std::vector<FieldDef> d;
    for (int c : cols) d.push_back(defs[static_cast<size_t>(c)]);
    KeyIndex k(cols, d, prefix);
    k.build(store);
    return k;
  }
};

}  // namespace

TEST(ResultStore, KeepsEveryKindExactly) {
  jet::Decimal dec{true, 2, 12345};
  jet::Guid guid;
  guid.bytes[3] = 7;
  jet::Row row{true, uint8_t{200}, int16_t{-5}, int32_t{-70000}, jet::Currency{-15}, 1.5f, 2.25,
               jet::DateTime{45413.5}, std::string("日本"), std::string(1000, 'm'), jet::Bytes{1, 2, 3},
               guid, dec};
  std::vector<K> kinds{K::YesNo, K::Byte, K::Integer, K::Long, K::Currency, K::Single, K::Double,
                       K::DateTime, K::Text, K::Memo, K::OLE, K::ReplicationID, K::Decimal};
  ResultStore s(kinds);
  s.appendRow(row, {10, 2});
  jet::Row nulls(kinds.size(), jet::Null{});
  s.appendRow(nulls, {11, 0});
  EXPECT_EQ(s.row(0), row);
  EXPECT_EQ(s.row(1), nulls);
  EXPECT_EQ(s.rowId(0), (jet::RowId{10, 2}));
  s.setCell(1, 8, std::string("neu"));
  s.setCell(0, 8, jet::Null{});
  EXPECT_EQ(std::get<std::string>(s.cell(1, 8)), "neu");
  EXPECT_TRUE(s.isNull(0, 8));
  EXPECT_THROW(s.appendRow(jet::Row{true}, {}), jet::Error);
  EXPECT_THROW(s.setCell(0, 3, std::string("x")), jet::Error);
}

TEST(KeyIndex, TextKeysIgnoreLetterCaseAndFirstInResultOrderWins) {
  Table t({{"Name", K::Text}, {"N", K::Long}});
  t.add({std::string("Smith"), int32_t{1}});
  t.add({std::string("O'Brien"), int32_t{2}});
  t.add({std::string("SMITH"), int32_t{3}});
  t.add({std::string("李小龙"), int32_t{4}});
  KeyIndex k = t.index({0});
  EXPECT_EQ(t.find(k, {Variant("smith")}), 0);
  EXPECT_EQ(t.find(k, {Variant("o'brien")}), 1);
  EXPECT_EQ(t.find(k, {Variant("李小龙")}), 3);
  EXPECT_EQ(t.find(k, {Variant("Smit")}), -1);
  EXPECT_EQ(t.find(k, {Variant::null()}), -1);
}

TEST(KeyIndex, NumbersMatchOnTheirText) {
  LocaleGuard de("de_DE");
  Table t({{"ID", K::Long}, {"Temp", K::Single}, {"Amount", K::Currency}, {"Ok", K::YesNo}});
  t.add({int32_t{12}, 36.6f, jet::Currency{125000}, true});
  t.add({int32_t{-7}, jet::Null{}, jet::Currency{0}, false});
  KeyIndex id = t.index({0});
  EXPECT_EQ(t.find(id, {Variant("12")}), 0);
  EXPECT_EQ(t.find(id, {Variant(-7)}), 1);
  EXPECT_EQ(t.find(id, {Variant("")}), -1);      // "(ID=)" cannot match
  EXPECT_EQ(t.find(id, {Variant("12,5")}), -1);
  EXPECT_EQ(t.find(id, {Variant("abc")}), -1);
  KeyIndex temp = t.index({1});
  EXPECT_EQ(t.find(temp, {Variant("36,6")}), 0);
  EXPECT_EQ(t.find(temp, {Variant::null()}), 1);
  KeyIndex amount = t.index({2});
  EXPECT_EQ(t.find(amount, {Variant("12,5")}), 0);
  EXPECT_EQ(t.find(amount, {Variant(Currency{0})}), 1);
  KeyIndex ok = t.index({3});
  EXPECT_EQ(t.find(ok, {Variant("False")}), 1);
}

TEST(KeyIndex, DatesMatchTheirTextForm) {
  LocaleGuard en("en_US");
  Table t({{"At", K::DateTime}});
  t.add({jet::DateTime{45413.0}});
  t.add({jet::DateTime{45413.75 + 0.4 / 86400}});  // 6 PM and 0.4 seconds
  KeyIndex k = t.index({0});
  EXPECT_EQ(t.find(k, {Variant("5/1/2024")}), 0);
  EXPECT_EQ(t.find(k, {Variant(DateTime{45413.75})}), 1);
  EXPECT_EQ(t.find(k, {Variant("5/1/2024 6:00:00 PM")}), 1);
  EXPECT_EQ(t.find(k, {Variant("2024-05-01")}), 0);
  EXPECT_EQ(t.find(k, {Variant("5/2/2024")}), -1);
}

TEST(KeyIndex, SeveralKeyFieldsAndPrefixes) {
  Table t({{"Ctl", K::Long}, {"Name", K::Text}});
  t.add({int32_t{1}, std::string("Door B")});
  t.add({int32_t{2}, std::string("Door A")});
  t.add({int32_t{1}, std::string("door a")});
  t.add({int32_t{1}, std::string("Alarm")});
  KeyIndex both = t.index({0, 1});
  EXPECT_EQ(t.find(both, {Variant("1"), Variant("DOOR A")}), 2);
  EXPECT_EQ(t.find(both, {Variant("2"), Variant("door b")}), -1);
  // Prefix: the first match in key order, letter case ignored.
  KeyIndex prefix = t.index({0, 1}, true);
  EXPECT_EQ(t.find(prefix, {Variant("1"), Variant("DOOR")}, true), 2);
  EXPECT_EQ(t.find(prefix, {Variant("1"), Variant("al")}, true), 3);
  EXPECT_EQ(t.find(prefix, {Variant("2"), Variant("al")}, true), -1);
}

TEST(KeyIndex, StaysCurrentThroughAppendsAndEdits) {
  Table t({{"Key", K::Text}});
  for (const char* k : {"a", "b", "a", "c"}) t.add({std::string(k)});
  for (bool prefix : {false, true}) {
    SCOPED_TRACE(prefix);
    Table copy = t;
    KeyIndex k = copy.index({0}, prefix);
    copy.add({std::string("d")});
    k.add(copy.store, 4);
    EXPECT_EQ(copy.find(k, {Variant("D")}, prefix), 4);
    // Row 0 changes from "a" to "z": the next "a" in result order takes over.
    k.remove(copy.store, 0);
    copy.store.setCell(0, 0, std::string("z"));
    k.add(copy.store, 0);
    EXPECT_EQ(copy.find(k, {Variant("a")}, prefix), 2);
    EXPECT_EQ(copy.find(k, {Variant("z")}, prefix), 0);
    // And back: row 0 is again the first "a".
    k.remove(copy.store, 0);
    copy.store.setCell(0, 0, std::string("a"));
    k.add(copy.store, 0);
    EXPECT_EQ(copy.find(k, {Variant("A")}, prefix), 0);
    EXPECT_EQ(copy.find(k, {Variant("z")}, prefix), -1);
    // The last of a chain of three changes.
    copy.add({std::string("a")});
    k.add(copy.store, 5);
    k.remove(copy.store, 5);
    copy.store.setCell(5, 0, std::string("e"));
    k.add(copy.store, 5);
    k.remove(copy.store, 0);
    k.remove(copy.store, 2);
    EXPECT_EQ(copy.find(k, {Variant("a")}, prefix), -1);
    EXPECT_EQ(copy.find(k, {Variant("e")}, prefix), 5);
  }
}

// Text in a sort order other than General: as General keys it when every character is proven
// for the order; otherwise exactly, but for ASCII letter case and trailing blanks, so no
// search finds a text that differs in a character the engine cannot key.
TEST(KeyIndex, TextInOtherSortOrders) {
  struct Case {
    const char* searched;
    int chinese;   // the row found in a Chinese (PRC) column (2052)
    int korean;    // in a Korean column (1042): nothing is proven
    int general;   // in a General column
  };
  const std::vector<Case> cases{
      {"ABC", 0, 0, 0},  {"abc  ", 0, 0, 0}, {"中文", 1, 1, 1},     {"中", -1, -1, -1},
      {"AB中", 2, 2, 2}, {"ab中 ", 2, 2, 2}, {"łódź", -1, -1, 3}, {"Łódź", 3, 3, 3},
      {" abc", -1, -1, -1},
  };
  for (uint16_t locale : {2052, 1042, 1033}) {
    SCOPED_TRACE(locale);
    Table t({{"Name", K::Text}});
    t.defs[0].column.sortOrder = jet::SortOrder{locale, 0};
    for (const char* s : {"abc", "中文", "ab中", "Łódź"}) t.add({std::string(s)});
    KeyIndex k = t.index({0});
    for (const Case& c : cases) {
      const int expected = locale == 2052 ? c.chinese : locale == 1042 ? c.korean : c.general;
      EXPECT_EQ(t.find(k, {Variant(QString::fromUtf8(c.searched))}), expected) << c.searched;
    }
  }
}
