// Text forms of exported values: dates (milliseconds, before 1899-12-30, rounding),
// currency and decimal digits, GUID byte order, base64, shortest floats, JSON and CSV quoting.
#include <gtest/gtest.h>

#include <cmath>

#include "cli/value_text.h"

namespace qar::cli {
namespace {

TEST(ValueText, DateTimes) {
  EXPECT_EQ(dateTimeText(0), "1899-12-30 00:00:00");
  EXPECT_EQ(dateTimeText(27293), "1974-09-21 00:00:00");
  EXPECT_EQ(dateTimeText(2.5), "1900-01-01 12:00:00");
  EXPECT_EQ(dateTimeText(-1.25), "1899-12-29 06:00:00");  // the fraction counts forward from the date
  EXPECT_EQ(dateTimeText(36526 + 0.5 + 0.123 / 86400), "2000-01-01 12:00:00.123");
  EXPECT_EQ(dateTimeText(36526 + 0.99999999999), "2000-01-02 00:00:00");  // rounds into the next day
  EXPECT_EQ(dateTimeText(-657434), "0100-01-01 00:00:00");                 // Access's first day
  EXPECT_EQ(dateTimeText(2958465.99998843), "9999-12-31 23:59:59");          // and its last second
}

TEST(ValueText, ExactDecimals) {
  EXPECT_EQ(currencyText(35000), "3.5000");
  EXPECT_EQ(currencyText(-1), "-0.0001");
  EXPECT_EQ(currencyText(0), "0.0000");
  EXPECT_EQ(currencyText(INT64_MIN), "-922337203685477.5808");
  jet::Decimal d;
  d.magnitude = 12345;
  d.scale = 2;
  EXPECT_EQ(decimalText(d), "123.45");
  d.negative = true;
  d.scale = 6;
  EXPECT_EQ(decimalText(d), "-0.012345");
  d.magnitude = 0;
  EXPECT_EQ(decimalText(d), "0.000000");  // no "-0"
  d = {};
  d.magnitude = (static_cast<unsigned __int128>(1) << 96) - 1;  // 28 digits
  EXPECT_EQ(decimalText(d), "79228162514264337593543950335");
}

TEST(ValueText, GuidsBase64AndFloats) {
  jet::Guid g;
  const uint8_t stored[16] = {0x6A, 0x27, 0x39, 0x8E, 0xA8, 0xBC, 0xC4, 0x4A,
                              0x89, 0x1E, 0x49, 0x91, 0x1D, 0x84, 0x38, 0xDD};
  std::copy(stored, stored + 16, g.bytes.begin());
  EXPECT_EQ(guidText(g), "{8E39276A-BCA8-4AC4-891E-49911D8438DD}");
  EXPECT_EQ(base64({}), "");
  EXPECT_EQ(base64({'M'}), "TQ==");
  EXPECT_EQ(base64({'M', 'a'}), "TWE=");
  EXPECT_EQ(base64({'M', 'a', 'n'}), "TWFu");
  EXPECT_EQ(floatText(0.1f), "0.1");
  EXPECT_EQ(std::strtof(floatText(-0.00035134f).c_str(), nullptr), -0.00035134f);
  EXPECT_EQ(doubleText(444.555), "444.555");
  EXPECT_EQ(doubleText(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(doubleText(1e300), "1e+300");
}

TEST(ValueText, JsonValues) {
  EXPECT_EQ(valueJson(jet::Null{}), "null");
  EXPECT_EQ(valueJson(true), "true");
  EXPECT_EQ(valueJson(uint8_t{255}), "255");
  EXPECT_EQ(valueJson(int16_t{-32768}), "-32768");
  EXPECT_EQ(valueJson(int32_t{-7}), "-7");
  EXPECT_EQ(valueJson(2.5), "2.5");
  EXPECT_EQ(valueJson(std::nan("")), "\"NaN\"");  // JSON has no NaN
  EXPECT_EQ(valueJson(jet::Currency{12345}), "\"1.2345\"");
  EXPECT_EQ(valueJson(jet::DateTime{0.5}), "\"1899-12-30 12:00:00\"");
  EXPECT_EQ(valueJson(std::string("a\"b\\c\n\x01 \xE4\xB8\xAD")), "\"a\\\"b\\\\c\\n\\u0001 \xE4\xB8\xAD\"");
  EXPECT_EQ(valueJson(jet::Bytes{1, 2, 3}), "\"AQID\"");
}

TEST(ValueText, CsvFields) {
  EXPECT_EQ(csvField("plain"), "plain");
  EXPECT_EQ(csvField("a,b"), "\"a,b\"");
  EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(csvField("two\nlines"), "\"two\nlines\"");
  EXPECT_EQ(csvField("\xE9\xBB\x83\xE7\xBF\xB0"), "\xE9\xBB\x83\xE7\xBF\xB0");
}

}  // namespace
}  // namespace qar::cli
