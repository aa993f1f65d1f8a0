// Text decoding: Jet 4 UTF-16 with and without Unicode compression, surrogate pairs,
// Jet 3 code pages; encoding text for writing.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

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

// Writing text: plain 7-bit text and other text both give the bytes Unicode compression
// rules give, and refuse the same over-long text.
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

namespace jet {
namespace {

// The UTF-8 a sequence of UTF-16 units should read as, built one unit at a time.
std::string modelUtf8(const std::vector<uint16_t>& units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    const uint16_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      appendUtf8(out, 0x10000 + ((uint32_t(u - 0xD800) << 10) | (units[i + 1] - 0xDC00)));
      ++i;
    } else {
      appendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
    }
  }
  return out;
}

// Random text mixing ASCII, Latin-1, CJK, surrogate pairs and (when asked) lone surrogates.
std::vector<uint16_t> randomUnits(std::mt19937& random, bool loneSurrogates) {
  std::vector<uint16_t> units(random() % 80);
  for (size_t i = 0; i < units.size(); ++i) {
    switch (random() % (loneSurrogates ? 6 : 5)) {
      case 0:  // a run of plain ASCII, as Latin words are (now and then with a U+0000)
        for (size_t end = std::min(units.size(), i + 4 + random() % 20); i < end; ++i)
          units[i] = random() % 60 == 0 ? 0 : uint16_t(0x20 + random() % 0x5F);
        --i;
        break;
      case 1: units[i] = uint16_t(0x20 + random() % 0x5F); break;
      case 2: units[i] = uint16_t(0x80 + random() % 0x80); break;
      case 3: units[i] = uint16_t(0x4E00 + random() % 0x5000); break;
      case 4:
        if (i + 1 < units.size()) {
          units[i] = uint16_t(0xD800 + random() % 0x400);
          units[++i] = uint16_t(0xDC00 + random() % 0x400);
        } else {
          units[i] = 'z';
        }
        break;
      default: units[i] = uint16_t(0xD800 + random() % 0x800); break;
    }
  }
  return units;
}

// Decoding against the model, plain and in Unicode compression's runs (switching at random
// between one-byte and two-byte runs where the characters allow); writing well-formed text
// gives back the same bytes.
TEST(Text, RandomTextAgreesWithTheModel) {
  std::mt19937 random(26);
  for (int round = 0; round < 3000; ++round) {
    const bool wellFormed = round % 2 == 0;
    const std::vector<uint16_t> units = randomUnits(random, !wellFormed);
    SCOPED_TRACE(round);
    std::vector<uint8_t> plain;
    for (uint16_t u : units) plain.insert(plain.end(), {uint8_t(u & 0xFF), uint8_t(u >> 8)});
    const std::string expected = modelUtf8(units);
    EXPECT_EQ(decodeJet4Text(plain.data(), plain.size()), expected);
    std::string reused = "left over from an earlier value";
    decodeJet4TextInto(plain.data(), plain.size(), reused);
    EXPECT_EQ(reused, expected);

    // A two-byte character whose low byte is 0 would read as a switch: such text is never
    // stored compressed.
    bool compressible = true;
    for (uint16_t u : units) compressible = compressible && (u & 0xFF) != 0;
    std::vector<uint8_t> compressed = {0xFF, 0xFE};
    bool oneByte = true;
    for (uint16_t u : compressible ? units : std::vector<uint16_t>{}) {
      const bool fits = u >= 0x01 && u <= 0xFF;
      if (oneByte != fits || random() % 8 == 0) {
        compressed.push_back(0x00);
        oneByte = !oneByte;
        if (oneByte && !fits) {
          compressed.push_back(0x00);
          oneByte = false;
        }
      }
      if (oneByte)
        compressed.push_back(uint8_t(u));
      else
        compressed.insert(compressed.end(), {uint8_t(u & 0xFF), uint8_t(u >> 8)});
    }
    if (compressible) {
      EXPECT_EQ(decodeJet4Text(compressed.data(), compressed.size()), expected);
    }

    if (wellFormed) {
      const std::u16string back = write::utf8ToUtf16(expected);
      EXPECT_EQ(std::vector<uint16_t>(back.begin(), back.end()), units);
      EXPECT_EQ(write::encodeJet4Text(back, false), plain);
      // Text and Memo values are written straight from their UTF-8: UTF-16LE, or one byte a
      // character where every character is U+0001 to U+00FF and compression is allowed.
      const bool narrow = std::all_of(units.begin(), units.end(), [](uint16_t u) { return u >= 0x01 && u <= 0xFF; });
      std::vector<uint8_t> oneByte = {0xFF, 0xFE};
      for (uint16_t u : units) oneByte.push_back(uint8_t(u));
      for (ColumnKind kind : {ColumnKind::Text, ColumnKind::Memo}) {
        for (bool compressed : {true, false}) {
          Column column;
          column.kind = kind;
          column.size = kind == ColumnKind::Text ? 510 : 0;
          column.compressedText = compressed;
          const bool stored1 = compressed && narrow && units.size() > 2;
          EXPECT_EQ(write::encodeVariableValue(column, Value(expected)), stored1 ? oneByte : plain);
        }
      }
    }
  }
}

}  // namespace
}  // namespace jet

namespace jet {
namespace {

// Text that is not UTF-8 is refused on every road, naming the same first bad byte.
TEST(Text, BrokenUtf8IsRefusedNamingItsFirstBadByte) {
  const std::pair<std::string, int> cases[] = {
      {"abcdefgh\xff", 8},         {"ab\xc3", 2},          {"ab\xe7\xa0" "A", 2}, {"\xc3\xa9\xa9xyz", 2},
      {"abcdefghij\xc0\xaf", 10}, {"x\xed\xa0\x80", 1},   {"\x80", 0},           {"abc\xf4\x90\x80\x80", 3}};
  for (const auto& [text, at] : cases) {
    SCOPED_TRACE(text);
    const std::string expected = "byte " + std::to_string(at) + ")";
    for (ColumnKind kind : {ColumnKind::Text, ColumnKind::Memo}) {
      Column column;
      column.kind = kind;
      column.size = kind == ColumnKind::Text ? 510 : 0;
      try {
        write::encodeVariableValue(column, Value(text));
        ADD_FAILURE() << "accepted";
      } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
      }
    }
    EXPECT_THROW(write::utf8ToUtf16(text), Error);
  }
}

}  // namespace
}  // namespace jet
