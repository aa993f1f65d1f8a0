// Text decoding: Jet 4 UTF-16 with and without Unicode compression, surrogate pairs,
// Jet 3 code pages; encoding text for writing.
#include <gtest/gtest.h>

#include "jet/error.h"
#include "jet/text.h"
#include "jet/write/value_encoder.h"

namespace jet {
namespace {

std::string jet4(std::initializer_list<uint8_t> bytes) {
  std::vector<uint8_t> v(bytes);
  return decodeJet4Text(v.data(), v.size());
}

TEST(Text, PlainUtf16) {
  EXPECT_EQ(jet4({'a', 0, 'b', 0}), "ab");
  EXPECT_EQ(jet4({0xE9, 0x00, 0x2D, 0x4E}), "\xC3\xA9\xE4\xB8\xAD");  // é 中
  EXPECT_EQ(jet4({0x3D, 0xD8, 0x00, 0xDE}), "\xF0\x9F\x98\x80");      // U+1F600 as a surrogate pair
  EXPECT_EQ(jet4({0x3D, 0xD8, 'a', 0}), "\xEF\xBF\xBD" "a");           // unpaired high surrogate
  EXPECT_EQ(jet4({'a', 0, 'b'}), "a");                                  // odd trailing byte
  EXPECT_EQ(jet4({}), "");
}

TEST(Text, UnicodeCompression) {
  // FF FE, then one byte per character, 00 switches to UTF-16 and back.
  EXPECT_EQ(jet4({0xFF, 0xFE, 'a', 'b', 'c'}), "abc");
  EXPECT_EQ(jet4({0xFF, 0xFE, 'a', 0xE9}), "a\xC3\xA9");
  EXPECT_EQ(jet4({0xFF, 0xFE, 'H', 'i', 0x00, 0x2D, 0x4E, 0x87, 0x65, 0x00, '!'}), "Hi\xE4\xB8\xAD\xE6\x96\x87!");
  EXPECT_EQ(jet4({0xFF, 0xFE}), "");
  EXPECT_EQ(jet4({0xFF, 0xFE, 0x00, 0x2D}), "");  // a lone byte in UTF-16 mode is dropped
  EXPECT_EQ(jet4({0xFF, 0xFE, 0x00, 0x3D, 0xD8, 0x01, 0xDE}), "\xF0\x9F\x98\x81");
}

TEST(Text, CodePages) {
  const uint8_t latin[] = {'C', 'a', 'f', 0xE9, ' ', 0x80, ' ', 0x81};
  EXPECT_EQ(decodeCodePage(latin, sizeof latin, 1252), "Caf\xC3\xA9 \xE2\x82\xAC \xC2\x81");
  EXPECT_EQ(decodeCodePage(latin, sizeof latin, 0), decodeCodePage(latin, sizeof latin, 1252));
  const uint8_t greek[] = {0xE1, 0xE2};  // alpha beta in 1253
  EXPECT_EQ(decodeCodePage(greek, sizeof greek, 1253), "\xCE\xB1\xCE\xB2");
  const uint8_t big5[] = {0xA4, 0xA4, 0xA4, 0xE5};  // 中文 in code page 950
  EXPECT_EQ(decodeCodePage(big5, sizeof big5, 950), "\xE4\xB8\xAD\xE6\x96\x87");
  const uint8_t cut[] = {'a', 0xA4};  // an incomplete double-byte character
  EXPECT_EQ(decodeCodePage(cut, sizeof cut, 950), "a\xEF\xBF\xBD");
}

}  // namespace
}  // namespace jet

namespace jet {

// Writing text: plain 7-bit text takes a shorter road than other text; both must give the
// bytes Unicode compression rules give, and refuse the same over-long text.
TEST(Text, WritingPlainAndOtherTextAgree) {
  for (bool compressed : {true, false}) {
    Column column;
    column.kind = ColumnKind::Text;
    column.size = 2 * 6;  // six characters
    column.compressedText = compressed;
    for (std::string s : {"", "a", "ab", "abc", "abcdef", "a\x7f" "b", "\x01\x02\x03", "ab\xc3\xa9", "x\xe7\xa0\x94y"}) {
      SCOPED_TRACE(s);
      const auto expected = jet::write::encodeJet4Text(jet::write::utf8ToUtf16(s), compressed);
      EXPECT_EQ(jet::write::encodeVariableValue(column, Value(s)), expected);
    }
    EXPECT_THROW(jet::write::encodeVariableValue(column, Value(std::string("abcdefg"))), Error);
    EXPECT_THROW(jet::write::encodeVariableValue(column, Value(std::string("abcde\xc3\xa9\xc3\xa9"))), Error);
  }
}

}  // namespace jet
