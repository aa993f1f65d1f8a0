// Field definitions from columns and the conversions a field applies when it is assigned
// a value or reads a stored one, with the messages of values it refuses.
#include <gtest/gtest.h>

#include "base/exception.h"
#include "data/field.h"
#include "data/fieldvalues.h"
#include "data_fixtures.h"

using namespace qar::data;
using qar::data::testing::LocaleGuard;
using qar::data::testing::messageOf;

namespace {

jet::Column column(const char* name, jet::ColumnKind kind, uint16_t size = 0, bool autoNumber = false) {
  jet::Column c;
  c.name = name;
  c.kind = kind;
  c.size = size;
  c.autoNumber = autoNumber;
  return c;
}

// A field with no dataset: enough for its conversions.
std::unique_ptr<TField> field(const jet::Column& c) {
  return TField::create(nullptr, 0, makeFieldDefs({c}, true).front());
}

}  // namespace

TEST(FieldDefs, KindsNamesAndSizes) {
  std::vector<jet::Column> cols = {
      column("Name", jet::ColumnKind::Text, 40), column("", jet::ColumnKind::Memo),
      column("name", jet::ColumnKind::Long, 4, true), column("Name_1", jet::ColumnKind::Integer),
      column("Name", jet::ColumnKind::Byte), column("", jet::ColumnKind::YesNo),
      column("G", jet::ColumnKind::ReplicationID), column("C", jet::ColumnKind::Currency)};
  auto defs = makeFieldDefs(cols, true);
  ASSERT_EQ(defs.size(), 8u);
  EXPECT_EQ(defs[0].name, "Name");
  EXPECT_EQ(defs[0].type, ftWideString);
  EXPECT_EQ(defs[0].size, 20);  // characters, not bytes
  EXPECT_EQ(defs[1].name, "COLUMN2");
  EXPECT_EQ(defs[1].type, ftMemo);
  EXPECT_EQ(defs[2].name, "name_1");  // repeated names: letter case ignored
  EXPECT_EQ(defs[2].type, ftAutoInc);
  EXPECT_TRUE(defs[2].readOnly);
  EXPECT_EQ(defs[3].name, "Name_1_1");
  EXPECT_EQ(defs[3].type, ftSmallint);
  EXPECT_EQ(defs[4].name, "Name_2");
  EXPECT_EQ(defs[4].type, ftWord);
  EXPECT_EQ(defs[5].name, "COLUMN6");
  EXPECT_EQ(defs[5].type, ftBoolean);
  EXPECT_EQ(defs[6].type, ftGuid);
  EXPECT_EQ(defs[6].size, 38);
  EXPECT_EQ(defs[7].type, ftBCD);

  jet::Column dec = column("D", jet::ColumnKind::Decimal);
  dec.precision = 9;
  EXPECT_EQ(fieldTypeOf(dec), ftInteger);
  dec.precision = 10;
  EXPECT_EQ(fieldTypeOf(dec), ftBCD);
  EXPECT_EQ(makeFieldDefs({column("T", jet::ColumnKind::Text, 20)}, false).front().size, 20);  // Jet 3: bytes
  EXPECT_TRUE(dynamic_cast<TAutoIncField*>(TField::create(nullptr, 0, defs[2]).get()));
}

TEST(FieldConvert, TextIsCutToSizeNeverInsideASurrogatePair) {
  auto f = field(column("Name", jet::ColumnKind::Text, 10));  // 5 characters
  EXPECT_EQ(std::get<std::string>(f->toStored(Variant("abcdefgh"))), "abcde");
  EXPECT_EQ(std::get<std::string>(f->toStored(Variant("日本語のテキスト"))), "日本語のテ");
  // U+1F600 takes two UTF-16 code units; the fifth unit would split it.
  QString withEmoji = QStringLiteral("abcd") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("x");
  EXPECT_EQ(std::get<std::string>(f->toStored(Variant(withEmoji))), "abcd");
  LocaleGuard en("en_US");
  EXPECT_EQ(std::get<std::string>(f->toStored(Variant(12))), "12");
  EXPECT_EQ(std::get<std::string>(f->toStored(Variant(true))), "True");
}

TEST(FieldConvert, MemoTakesTextAndEmptyTextBecomesNull) {
  auto f = field(column("Remark", jet::ColumnKind::Memo));
  EXPECT_TRUE(jet::isNull(f->toStored(Variant(QString()))));
  EXPECT_TRUE(jet::isNull(f->toStored(Variant::null())));
  EXPECT_EQ(std::get<std::string>(f->toStored(Variant(QString(70000, u'x')))).size(), 70000u);
  EXPECT_EQ(f->fromStored(jet::Null{}), Variant(QString()));
  EXPECT_EQ(f->textOf(jet::Null{}), "");
}

TEST(FieldConvert, IntegersCheckTheirRange) {
  auto small = field(column("Status", jet::ColumnKind::Integer));
  EXPECT_EQ(std::get<int16_t>(small->toStored(Variant(-32768))), -32768);
  EXPECT_EQ(messageOf([&] { small->toStored(Variant(40000)); }),
            "40000 is not a valid value for field 'Status'. The allowed range is -32768 to 32767");
  auto byte = field(column("Level", jet::ColumnKind::Byte));
  EXPECT_EQ(messageOf([&] { byte->toStored(Variant(256)); }),
            "256 is not a valid value for field 'Level'. The allowed range is 0 to 255");
  EXPECT_EQ(std::get<uint8_t>(byte->toStored(Variant("255"))), 255);
  auto lng = field(column("ID", jet::ColumnKind::Long));
  EXPECT_EQ(std::get<int32_t>(lng->toStored(Variant(2.5))), 2);  // half to even
  EXPECT_EQ(std::get<int32_t>(lng->toStored(Variant(3.5))), 4);
  EXPECT_EQ(std::get<int32_t>(lng->toStored(Variant(Currency{123456}))), 12);
  EXPECT_EQ(std::get<int32_t>(lng->toStored(Variant(true))), -1);
  EXPECT_EQ(messageOf([&] { lng->toStored(Variant(int64_t{3000000000})); }),
            "3000000000 is not a valid value for field 'ID'. The allowed range is -2147483648 to 2147483647");
  EXPECT_EQ(messageOf([&] { lng->toStored(Variant("")); }), "Invalid value for field 'ID'");
  EXPECT_EQ(messageOf([&] { lng->toStored(Variant("12x")); }), "Invalid value for field 'ID'");
  EXPECT_EQ(messageOf([&] { lng->toStored(Variant(QByteArray("ab"))); }), "Invalid value for field 'ID'");
}

TEST(FieldConvert, AutoNumberRefusesNullAndEveryConvertibleValue) {
  auto f = field(column("ID", jet::ColumnKind::Long, 4, true));
  EXPECT_EQ(messageOf([&] { f->toStored(Variant::null()); }), "Field 'ID' cannot be modified");
  EXPECT_EQ(messageOf([&] { f->toStored(Variant(5)); }), "Field 'ID' cannot be modified");
  EXPECT_EQ(messageOf([&] { f->toStored(Variant("abc")); }), "Invalid value for field 'ID'");
}

TEST(FieldConvert, OtherKinds) {
  LocaleGuard en("en_US");
  auto b = field(column("Flag", jet::ColumnKind::YesNo));
  EXPECT_EQ(std::get<bool>(b->toStored(Variant("true"))), true);
  EXPECT_EQ(std::get<bool>(b->toStored(Variant(0))), false);
  EXPECT_EQ(messageOf([&] { b->toStored(Variant("maybe")); }), "Invalid value for field 'Flag'");

  auto c = field(column("Deposit", jet::ColumnKind::Currency));
  EXPECT_EQ(std::get<jet::Currency>(c->toStored(Variant(1.23456))).scaled, 12346);
  EXPECT_EQ(std::get<jet::Currency>(c->toStored(Variant("12.5"))).scaled, 125000);
  EXPECT_EQ(messageOf([&] { c->toStored(Variant(1e300)); }), "Invalid value for field 'Deposit'");

  auto d = field(column("Stamp", jet::ColumnKind::DateTime));
  EXPECT_DOUBLE_EQ(std::get<jet::DateTime>(d->toStored(Variant("5/1/2024 6:00:00 AM"))).days, 45413.25);
  EXPECT_DOUBLE_EQ(std::get<jet::DateTime>(d->toStored(Variant(2.5))).days, 2.5);
  EXPECT_EQ(messageOf([&] { d->toStored(Variant("not a date")); }), "Invalid value for field 'Stamp'");
  EXPECT_EQ(messageOf([&] { d->toStored(Variant(1e9)); }), "Invalid value for field 'Stamp'");

  auto s = field(column("Temp", jet::ColumnKind::Single));
  EXPECT_EQ(std::get<float>(s->toStored(Variant("36.6"))), 36.6f);
  EXPECT_EQ(messageOf([&] { s->toStored(Variant(1e300)); }), "Invalid value for field 'Temp'");
  // A Single reads as the number it was given, not its binary neighbour.
  EXPECT_EQ(s->fromStored(36.6f), Variant(36.6));
  EXPECT_EQ(s->textOf(36.6f), "36.6");

  auto g = field(column("G", jet::ColumnKind::ReplicationID));
  auto guid = std::get<jet::Guid>(g->toStored(Variant("{00112233-4455-6677-8899-AABBCCDDEEFF}")));
  EXPECT_EQ(guid.bytes[0], 0x33);  // first group stored little-endian
  EXPECT_EQ(guidText(guid), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
  EXPECT_EQ(messageOf([&] { g->toStored(Variant("{nope}")); }), "Invalid value for field 'G'");

  auto o = field(column("Photo", jet::ColumnKind::OLE));
  EXPECT_EQ(std::get<jet::Bytes>(o->toStored(Variant(QByteArray("\x01\x02", 2)))).size(), 2u);
  EXPECT_EQ(messageOf([&] { o->toStored(Variant(3)); }), "Invalid value for field 'Photo'");
}

TEST(FieldConvert, DecimalsReadAsCurrencyAndWriteAtTheirScale) {
  jet::Column col = column("Amount", jet::ColumnKind::Decimal);
  col.precision = 10;
  col.scale = 2;
  auto f = field(col);
  auto stored = std::get<jet::Decimal>(f->toStored(Variant("-12.345")));
  EXPECT_TRUE(stored.negative);
  EXPECT_EQ(static_cast<int64_t>(stored.magnitude), 1235);  // half away from zero
  EXPECT_EQ(f->fromStored(stored), Variant(Currency{-123500}));
  EXPECT_EQ(messageOf([&] { f->toStored(Variant(1e9)); }), "Invalid value for field 'Amount'");
}
