// Text forms of numbers, amounts and dates in pinned locales, and their parsers reading
// back exactly what the forms write.
#include <gtest/gtest.h>

#include "data/textform.h"
#include "data/variant.h"
#include "data_fixtures.h"

using namespace qar::data;
using qar::data::testing::LocaleGuard;

namespace {

DateTime at(int y, int m, int d, int h = 0, int min = 0, int s = 0) {
  return joinDateTime(QDate(y, m, d), ((h * 60 + min) * 60 + s) * 1000);
}

}  // namespace

TEST(TextForm, FloatGeneralFormatFifteenDigits) {
  LocaleGuard en("en_US");
  EXPECT_EQ(formatFloat(0), "0");
  EXPECT_EQ(formatFloat(1.5), "1.5");
  EXPECT_EQ(formatFloat(-2), "-2");
  EXPECT_EQ(formatFloat(0.1 + 0.2), "0.3");
  EXPECT_EQ(formatFloat(123456789012345.0), "123456789012345");
  EXPECT_EQ(formatFloat(1e15), "1E15");
  EXPECT_EQ(formatFloat(1e20), "1E20");
  EXPECT_EQ(formatFloat(0.00001), "0.00001");
  EXPECT_EQ(formatFloat(1.5e-7), "1.5E-7");
  EXPECT_EQ(formatFloat(2.0 / 3.0), "0.666666666666667");
  LocaleGuard de("de_DE");
  EXPECT_EQ(formatFloat(1234.5), "1234,5");
  EXPECT_EQ(formatFloat(-1.25e-9), "-1,25E-9");
}

TEST(TextForm, CurrencyAtMostFourDecimals) {
  LocaleGuard en("en_US");
  EXPECT_EQ(formatCurrency({120000}), "12");
  EXPECT_EQ(formatCurrency({125000}), "12.5");
  EXPECT_EQ(formatCurrency({-1}), "-0.0001");
  EXPECT_EQ(formatCurrency({INT64_MIN}), "-922337203685477.5808");
  LocaleGuard de("de_DE");
  EXPECT_EQ(formatCurrency({123456}), "12,3456");
  EXPECT_EQ(parseCurrency("12,3456")->scaled, 123456);
  EXPECT_EQ(parseCurrency("0.00005")->scaled, 0);  // half to even at the fifth decimal
  EXPECT_EQ(parseCurrency("0,00015")->scaled, 2);
  EXPECT_EQ(parseCurrency("0,000051")->scaled, 1);
  EXPECT_EQ(parseCurrency("-922337203685477.5808")->scaled, INT64_MIN);
  EXPECT_EQ(parseCurrency("922337203685477.5807")->scaled, INT64_MAX);
  EXPECT_FALSE(parseCurrency("922337203685477.5808"));
  EXPECT_EQ(parseCurrency("1,5E3")->scaled, 15000000);
  EXPECT_FALSE(parseCurrency("1e30"));
  EXPECT_FALSE(parseCurrency("-"));
  EXPECT_FALSE(parseCurrency("1.2.3"));
}

TEST(TextForm, DateTimeShortDateAndLongTimeButMidnightAlone) {
  LocaleGuard en("en_US");
  EXPECT_EQ(formatDateTime(at(2024, 5, 1)), "5/1/2024");
  EXPECT_EQ(formatDateTime(at(2024, 5, 1, 13, 45, 7)), "5/1/2024 1:45:07 PM");
  EXPECT_EQ(formatDateTime(at(1899, 12, 30, 6)), "12/30/1899 6:00:00 AM");
  // Milliseconds alone do not make a time of day worth showing.
  EXPECT_EQ(formatDateTime(joinDateTime(QDate(2024, 5, 1), 400)), "5/1/2024");
  LocaleGuard de("de_DE");
  EXPECT_EQ(formatDateTime(at(2024, 5, 1, 8, 5, 0)), "01.05.2024 08:05:00");
}

TEST(TextForm, DatesBeforeTheEpochCountTheirTimeForward) {
  DateTime v = at(1899, 12, 29, 6);  // stored as -1.25
  EXPECT_DOUBLE_EQ(v.days, -1.25);
  auto parts = splitDateTime(v);
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->date, QDate(1899, 12, 29));
  EXPECT_EQ(parts->msecs, 6 * 3600 * 1000);
  EXPECT_FALSE(splitDateTime(DateTime{1e12}));
}

TEST(TextForm, ParsersReadWhatTheFormsWrite) {
  for (const char* name : {"en_US", "de_DE", "fr_FR", "zh_CN", "en_GB", "C"}) {
    LocaleGuard pin(name);
    for (DateTime v : {at(2024, 5, 1), at(2024, 12, 31, 23, 59, 59), at(1950, 1, 2, 0, 0, 1), at(1899, 12, 29, 6)}) {
      auto back = parseDateTime(formatDateTime(v));
      ASSERT_TRUE(back) << name << " " << formatDateTime(v).toStdString();
      EXPECT_NEAR(back->days, v.days, 1e-9) << name;
    }
    for (double d : {0.5, -1234.25, 1e20, 1.5e-7, 2.0 / 3.0}) {
      auto back = parseFloat(formatFloat(d));
      ASSERT_TRUE(back) << name;
      EXPECT_EQ(formatFloat(*back), formatFloat(d)) << name;
    }
  }
}

TEST(TextForm, ParsersRefuseWhatIsNotAValue) {
  LocaleGuard en("en_US");
  EXPECT_FALSE(parseFloat(""));
  EXPECT_FALSE(parseFloat("  "));
  EXPECT_FALSE(parseFloat("12abc"));
  EXPECT_FALSE(parseFloat("1,234"));  // group separators are not read
  EXPECT_EQ(*parseFloat(" 42 "), 42);
  EXPECT_FALSE(parseDateTime("yesterday"));
  EXPECT_FALSE(parseDateTime("13/45/2024"));
  EXPECT_NEAR(parseDateTime("2024-05-01 13:45:00")->days, at(2024, 5, 1, 13, 45).days, 1e-9);
  EXPECT_NEAR(parseDateTime("2024-05-01T13:45:00")->days, at(2024, 5, 1, 13, 45).days, 1e-9);
}

TEST(TextForm, VariantTextForms) {
  LocaleGuard en("en_US");
  EXPECT_EQ(Variant().toString(), "");
  EXPECT_EQ(Variant::null().toString(), "");
  EXPECT_EQ(Variant(true).toString(), "True");
  EXPECT_EQ(Variant(false).toString(), "False");
  EXPECT_EQ(Variant(-42).toString(), "-42");
  EXPECT_EQ(Variant(Currency{15000}).toString(), "1.5");
  EXPECT_EQ(Variant(QStringLiteral("日本語")).toString(), "日本語");
}
