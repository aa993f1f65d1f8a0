// Index keys of non-text kinds: the bytes Access stores for known values, byte order equal
// to value order (ascending and descending), Nulls, multi-column keys and refused values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "jet/error.h"
#include "jet/index/key_encoder.h"

namespace jet {
namespace {

KeyBytes field(ColumnKind kind, const Value& v, bool ascending = true, uint8_t scale = 0) {
  KeyColumn c;
  c.kind = kind;
  c.ascending = ascending;
  c.sortOrder = SortOrder{1033, 0};
  c.scale = scale;
  KeyBytes out;
  appendKeyField(c, v, out);
  return out;
}

TEST(IndexKey, IntegerKindsAsAccessStoresThem) {
  EXPECT_EQ(field(ColumnKind::Long, int32_t{1}), (KeyBytes{0x7F, 0x80, 0x00, 0x00, 0x01}));
  EXPECT_EQ(field(ColumnKind::Long, int32_t{-1}), (KeyBytes{0x7F, 0x7F, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(field(ColumnKind::Long, int32_t{1}, false), (KeyBytes{0x80, 0x7F, 0xFF, 0xFF, 0xFE}));
  EXPECT_EQ(field(ColumnKind::Integer, int16_t{-2}), (KeyBytes{0x7F, 0x7F, 0xFE}));
  EXPECT_EQ(field(ColumnKind::Byte, uint8_t{5}), (KeyBytes{0x7F, 0x05}));
  EXPECT_EQ(field(ColumnKind::Byte, uint8_t{5}, false), (KeyBytes{0x80, 0xFA}));
  EXPECT_EQ(field(ColumnKind::Currency, Currency{15000}),
            (KeyBytes{0x7F, 0x80, 0, 0, 0, 0, 0, 0x3A, 0x98}));
  // Narrower integers are accepted for wider columns (key searches pass them).
  EXPECT_EQ(field(ColumnKind::Long, int16_t{1}), field(ColumnKind::Long, int32_t{1}));
  EXPECT_EQ(field(ColumnKind::Currency, int32_t{2}), field(ColumnKind::Currency, Currency{20000}));
}

TEST(IndexKey, FloatingKindsAndDates) {
  EXPECT_EQ(field(ColumnKind::Double, 1.0), (KeyBytes{0x7F, 0xBF, 0xF0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(field(ColumnKind::Double, -1.0), (KeyBytes{0x7F, 0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(field(ColumnKind::Double, 1.0, false), (KeyBytes{0x80, 0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(field(ColumnKind::Single, 1.0f), (KeyBytes{0x7F, 0xBF, 0x80, 0, 0}));
  EXPECT_EQ(field(ColumnKind::DateTime, DateTime{1.0}), field(ColumnKind::Double, 1.0));
  EXPECT_EQ(field(ColumnKind::Single, int32_t{3}), field(ColumnKind::Single, 3.0f));
}

TEST(IndexKey, YesNoNeverNull) {
  EXPECT_EQ(field(ColumnKind::YesNo, true), (KeyBytes{0x7F, 0x00}));
  EXPECT_EQ(field(ColumnKind::YesNo, false), (KeyBytes{0x7F, 0xFF}));
  EXPECT_EQ(field(ColumnKind::YesNo, Null{}), field(ColumnKind::YesNo, false));
  EXPECT_EQ(field(ColumnKind::YesNo, true, false), (KeyBytes{0x80, 0xFF}));
}

TEST(IndexKey, NullFlags) {
  for (ColumnKind kind : {ColumnKind::Long, ColumnKind::Text, ColumnKind::Double, ColumnKind::Binary}) {
    EXPECT_EQ(field(kind, Null{}), KeyBytes{0x00});
    EXPECT_EQ(field(kind, Null{}, false), KeyBytes{0xFF});
  }
  // Null sorts first ascending and last descending.
  EXPECT_LT(field(ColumnKind::Long, Null{}), field(ColumnKind::Long, int32_t{INT32_MIN}));
  EXPECT_GT(field(ColumnKind::Long, Null{}, false), field(ColumnKind::Long, int32_t{INT32_MIN}, false));
}

TEST(IndexKey, GuidAndBinarySegments) {
  Guid g;
  for (int i = 0; i < 16; ++i) g.bytes[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(field(ColumnKind::ReplicationID, g),
            (KeyBytes{0x7F, 3, 2, 1, 0, 5, 4, 7, 6, 9, 8, 9, 10, 11, 12, 13, 14, 15, 8}));
  EXPECT_EQ(field(ColumnKind::Binary, Bytes{0xAA, 0xBB, 0xCC}),
            (KeyBytes{0x7F, 0xAA, 0xBB, 0xCC, 0, 0, 0, 0, 0, 3}));
  EXPECT_EQ(field(ColumnKind::Binary, Bytes{0xAA, 0xBB, 0xCC}, false),
            (KeyBytes{0x80, 0x55, 0x44, 0x33, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFC}));
  // Ten bytes: a full segment marked 9 (never inverted), then two bytes.
  Bytes ten{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_EQ(field(ColumnKind::Binary, ten, false),
            (KeyBytes{0x80, 0xFE, 0xFD, 0xFC, 0xFB, 0xFA, 0xF9, 0xF8, 0xF7, 9, 0xF6, 0xF5, 0xFF, 0xFF, 0xFF, 0xFF,
                      0xFF, 0xFF, 0xFD}));
  EXPECT_EQ(field(ColumnKind::Binary, Bytes{}), KeyBytes{0x7F});
}

TEST(IndexKey, DecimalsInJet4Order) {
  Decimal one{false, 0, 1};
  KeyBytes expected(18, 0);
  expected[0] = 0x7F;
  expected[1] = 0xFF;
  expected[17] = 1;
  EXPECT_EQ(field(ColumnKind::Decimal, one), expected);
  // Rescaled to the column's scale: 1.5 at scale 1 and 1.50 at scale 2 agree at scale 2.
  EXPECT_EQ(field(ColumnKind::Decimal, Decimal{false, 1, 15}, true, 2),
            field(ColumnKind::Decimal, Decimal{false, 2, 150}, true, 2));
  EXPECT_THROW(field(ColumnKind::Decimal, Decimal{false, 3, 1501}, true, 2), Error);
  // Negative zero is zero.
  EXPECT_EQ(field(ColumnKind::Decimal, Decimal{true, 0, 0}), field(ColumnKind::Decimal, Decimal{false, 0, 0}));
}

// Random values of each kind: ascending keys sort as the values do, descending reversed.
template <typename T, typename Make>
void checkOrder(ColumnKind kind, Make make, bool descendingReverses = true) {
  std::mt19937_64 rng(42);
  std::vector<T> values;
  for (int i = 0; i < 2000; ++i) values.push_back(make(rng));
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  for (size_t i = 1; i < values.size(); ++i) {
    const KeyBytes a = field(kind, Value(values[i - 1])), b = field(kind, Value(values[i]));
    ASSERT_LT(a, b) << "ascending, value " << i;
    if (descendingReverses) {
      ASSERT_GT(field(kind, Value(values[i - 1]), false), field(kind, Value(values[i]), false)) << "descending, value " << i;
    }
  }
}

TEST(IndexKey, ByteOrderIsValueOrder) {
  checkOrder<int32_t>(ColumnKind::Long, [](auto& r) { return static_cast<int32_t>(r()); });
  checkOrder<int16_t>(ColumnKind::Integer, [](auto& r) { return static_cast<int16_t>(r()); });
  checkOrder<uint8_t>(ColumnKind::Byte, [](auto& r) { return static_cast<uint8_t>(r()); });
  checkOrder<double>(ColumnKind::Double, [](auto& r) {
    std::uniform_real_distribution<double> d(-1e6, 1e6);
    const double v = d(r);
    return v == 0 ? 1.0 : v;  // -0.0 and 0.0 are distinct keys; leave zero out
  });
  checkOrder<float>(ColumnKind::Single, [](auto& r) {
    std::uniform_real_distribution<float> d(-1e3f, 1e3f);
    return d(r);
  });
}

TEST(IndexKey, CurrencyAndDecimalOrder) {
  std::mt19937_64 rng(7);
  std::vector<int64_t> amounts;
  for (int i = 0; i < 1000; ++i) amounts.push_back(static_cast<int64_t>(rng()) >> 8);
  std::sort(amounts.begin(), amounts.end());
  amounts.erase(std::unique(amounts.begin(), amounts.end()), amounts.end());
  for (size_t i = 1; i < amounts.size(); ++i) {
    ASSERT_LT(field(ColumnKind::Currency, Currency{amounts[i - 1]}), field(ColumnKind::Currency, Currency{amounts[i]}));
    auto dec = [&](int64_t v, bool asc) {
      return field(ColumnKind::Decimal, Decimal{v < 0, 0, static_cast<unsigned __int128>(v < 0 ? -v : v)}, asc);
    };
    ASSERT_LT(dec(amounts[i - 1], true), dec(amounts[i], true));
    // Descending decimal keys of these files keep Access's original ordering: negative
    // values first, each sign group in descending order.
    const bool sameSign = (amounts[i - 1] < 0) == (amounts[i] < 0);
    if (sameSign) ASSERT_GT(dec(amounts[i - 1], false), dec(amounts[i], false));
    else ASSERT_LT(dec(amounts[i - 1], false), dec(amounts[i], false));
  }
}

TEST(IndexKey, RefusedValuesLeaveTheKeyAlone) {
  KeyColumn c;
  c.kind = ColumnKind::Byte;
  KeyBytes out{1, 2};
  EXPECT_THROW(appendKeyField(c, int32_t{256}, out), Error);
  EXPECT_THROW(appendKeyField(c, std::string("x"), out), Error);
  c.kind = ColumnKind::Long;
  EXPECT_THROW(appendKeyField(c, 1.5, out), Error);
  c.kind = ColumnKind::Single;
  EXPECT_THROW(appendKeyField(c, 0.1, out), Error);  // not exactly a float
  c.kind = ColumnKind::OLE;
  try {
    appendKeyField(c, Bytes{1}, out);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Unsupported);
  }
  EXPECT_EQ(out, (KeyBytes{1, 2}));
}

TableDef sampleTable() {
  TableDef t;
  t.name = "Cards";
  Column id;
  id.name = "ID";
  id.kind = ColumnKind::Long;
  Column name;
  name.name = "Name";
  name.kind = ColumnKind::Text;
  name.sortOrder = SortOrder{1033, 0};
  Column flag;
  flag.name = "Active";
  flag.kind = ColumnKind::YesNo;
  t.columns = {id, name, flag};
  return t;
}

TEST(IndexKeyEncoder, MultiColumnKeysAndPrefixes) {
  const TableDef t = sampleTable();
  Index ix;
  ix.name = "ByNameId";
  ix.columns = {IndexColumn{1, true}, IndexColumn{0, false}};
  KeyEncoder enc(t, ix, Format::Jet4);
  ASSERT_TRUE(enc.writable());
  KeyBytes rowKey;
  enc.encodeRow(Row{int32_t{7}, std::string("A"), true}, rowKey);
  EXPECT_EQ(rowKey, (KeyBytes{0x7F, 0x4A, 0x01, 0x00, 0x80, 0x7F, 0xFF, 0xFF, 0xF8}));
  KeyBytes key;
  enc.encodeKey(Row{std::string("a"), int32_t{7}}, key);
  EXPECT_EQ(key, rowKey);  // letter case does not count
  KeyBytes prefix;
  enc.encodeKey(Row{std::string("A")}, prefix);
  EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), rowKey.begin()));
  EXPECT_THROW(enc.encodeKey(Row{std::string("A"), int32_t{1}, int32_t{2}}, key), Error);
  EXPECT_THROW(enc.encodeRow(Row{int32_t{7}}, key), Error);

  EXPECT_TRUE(enc.allNull(Row{int32_t{7}, Null{}, true}) == false);
  EXPECT_TRUE(enc.allNull(Row{Null{}, Null{}, true}));
  Index flagIx;
  flagIx.name = "ByActive";
  flagIx.columns = {IndexColumn{2, true}};
  EXPECT_FALSE(KeyEncoder(t, flagIx, Format::Jet4).allNull(Row{Null{}, Null{}, Null{}}));
}

TEST(IndexKeyEncoder, SortOrdersItCannotWrite) {
  TableDef t = sampleTable();
  t.columns[1].sortOrder = SortOrder{1033, 1};
  Index ix;
  ix.name = "ByName";
  ix.columns = {IndexColumn{1, true}};
  EXPECT_TRUE(canEncodeSortOrder(Format::Jet4, SortOrder{1033, 0}));
  EXPECT_FALSE(canEncodeSortOrder(Format::Jet4, SortOrder{1033, 1}));
  EXPECT_FALSE(canEncodeSortOrder(Format::Jet4, SortOrder{1031, 0}));
  EXPECT_TRUE(canEncodeSortOrder(Format::Jet3, SortOrder{1033, 0}));
  EXPECT_FALSE(canEncodeSortOrder(Format::Jet3, SortOrder{1031, 0}));
  KeyEncoder enc(t, ix, Format::Jet4);
  EXPECT_FALSE(enc.writable());
  EXPECT_NE(enc.unsupportedReason().find("ByName"), std::string::npos);
  EXPECT_NE(enc.unsupportedReason().find("Cards"), std::string::npos);
  EXPECT_NE(enc.unsupportedReason().find("General (1033, version 1)"), std::string::npos);
  KeyBytes out;
  try {
    enc.encodeRow(Row{int32_t{1}, std::string("x"), false}, out);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Unsupported);
    EXPECT_EQ(std::string(e.what()), enc.unsupportedReason());
  }
  EXPECT_TRUE(out.empty());
  // A number index of the same table stays writable.
  Index byId;
  byId.name = "ById";
  byId.columns = {IndexColumn{0, true}};
  EXPECT_TRUE(KeyEncoder(t, byId, Format::Jet4).writable());
  Index broken;
  broken.name = "Broken";
  broken.columns = {IndexColumn{9, true}};
  EXPECT_THROW(KeyEncoder(t, broken, Format::Jet4), Error);
}

}  // namespace
}  // namespace jet
