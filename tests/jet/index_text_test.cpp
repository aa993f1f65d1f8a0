// Text keys in the General sort order: known key bytes for each kind of character, letter
// case, accents, unprintable and ignored characters, trailing blanks, the 255-character
// limit, descending keys, and the comparison functions callers use for key searches.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "jet/collation.h"
#include "jet/error.h"
#include "jet/index/text_key.h"

namespace jet {
namespace {

using Key = std::vector<uint8_t>;

Key text(std::string_view s, bool ascending = true) {
  Key out;
  appendGeneralLegacyText(s, ascending, out);
  return out;
}

TEST(TextKey, InlineCodesIgnoreLetterCase) {
  EXPECT_EQ(text("A"), (Key{0x4A, 0x01, 0x00}));
  EXPECT_EQ(text("a0"), (Key{0x4A, 0x36, 0x01, 0x00}));
  EXPECT_LT(text("9"), text("a"));
  EXPECT_EQ(text("Zebra"), text("zEBRA"));
  EXPECT_EQ(text(""), (Key{0x01, 0x00}));
  EXPECT_EQ(text("中文"), (Key{0x9F, 0x3D, 0xB6, 0xF6, 0x01, 0x00}));
  // Full-width Latin letters share the codes of the plain ones.
  EXPECT_EQ(text("\xEF\xBC\xA1"), text("a"));  // U+FF21
}

TEST(TextKey, AccentsGoToTheExtraSection) {
  EXPECT_EQ(text("é"), (Key{0x51, 0x01, 0x0E, 0x00}));
  EXPECT_EQ(text("É"), text("é"));
  EXPECT_EQ(text("ée"), (Key{0x51, 0x51, 0x01, 0x0E, 0x00}));
  EXPECT_EQ(text("eé"), (Key{0x51, 0x51, 0x01, 0x02, 0x0E, 0x00}));  // filler for the plain e
  EXPECT_NE(text("é"), text("e"));
  EXPECT_LT(text("e"), text("é"));
  EXPECT_LT(text("é"), text("f"));
  // A combining accent modifies the extra code: e + U+0301 is the same key as é.
  EXPECT_EQ(text("e\xCC\x81"), text("é"));
  EXPECT_EQ(text("ß"), (Key{0x6B, 0x6B, 0x01, 0x00}));
}

TEST(TextKey, UnprintableAndIgnoredCharacters) {
  // '-' has no inline code; its position and code follow the other sections.
  EXPECT_EQ(text("a-b"), (Key{0x4A, 0x4C, 0x01, 0x01, 0x01, 0x01, 0x80, 0x0B, 0x06, 0x82, 0x00}));
  EXPECT_NE(text("co-op"), text("coop"));
  EXPECT_LT(text("coop"), text("co-op"));
  EXPECT_LT(text("co-op"), text("coopa"));
  // U+0000 and U+FEFF take no part at all.
  EXPECT_EQ(text(std::string("a\0b", 3)), text("ab"));
  EXPECT_EQ(text("a\xEF\xBB\xBF" "b"), text("ab"));
}

TEST(TextKey, FlagsOfSpecialLetters) {
  // Hiragana small a (flag 1) and a (flag 2, which is left out at the end) share codes.
  EXPECT_EQ(text("\xE3\x81\x81"),
            (Key{0x7F, 0x02, 0x01, 0x01, 0x01, 0x90, 0xFF, 0x02, 0x80, 0xFF, 0x80, 0x00}));
  EXPECT_EQ(text("\xE3\x81\x82"), (Key{0x7F, 0x02, 0x01, 0x01, 0x01, 0xFF, 0x02, 0x80, 0xFF, 0x80, 0x00}));
}

TEST(TextKey, TrailingBlanksAndLengthLimit) {
  EXPECT_EQ(text("ab   "), text("ab"));
  EXPECT_EQ(text("   "), text(""));
  EXPECT_NE(text(" ab"), text("ab"));
  const std::string limit(255, 'x');
  EXPECT_EQ(text(limit + "yyy"), text(limit));
  EXPECT_NE(text(std::string(254, 'x') + "y"), text(limit));
  // The cut comes first, then blanks before it are dropped.
  EXPECT_EQ(text(std::string(250, 'x') + std::string(5, ' ') + "tail"), text(std::string(250, 'x')));
  // Characters outside the Basic Multilingual Plane count as two; a pair cut in half keeps
  // its first half.
  const std::string emoji = "\xF0\x9F\x98\x80";
  const std::string almost(254, 'x');
  EXPECT_NE(text(almost + emoji), text(almost));
  EXPECT_EQ(text(almost + emoji + "tail"), text(almost + emoji));
  // U+1F600 and U+1F601 share their first half, so only a whole pair tells them apart.
  EXPECT_EQ(text(almost + emoji), text(almost + "\xF0\x9F\x98\x81"));
  EXPECT_NE(text(almost.substr(1) + emoji), text(almost.substr(1) + "\xF0\x9F\x98\x81"));
  EXPECT_NE(text(emoji), text(""));
}

TEST(TextKey, DescendingInvertsAndAddsAZero) {
  EXPECT_EQ(text("A", false), (Key{0xB5, 0xFE, 0xFF, 0x00}));
  std::vector<std::string> words{"apple", "Apple pie", "banana", "Éclair", "eclair", "zoo", "co-op", "中", "01"};
  std::vector<std::pair<Key, Key>> keys;
  for (const auto& w : words) keys.emplace_back(text(w), text(w, false));
  for (const auto& a : keys) {
    for (const auto& b : keys) {
      if (a.first < b.first) {
        EXPECT_GT(a.second, b.second);
      }
    }
  }
}

TEST(TextKey, MalformedUtf8IsRefused) {
  Key out{9};
  for (std::string bad : {std::string("\xC3"), std::string("a\x80"), std::string("\xED\xA0\x80"),
                          std::string("\xC0\xAF"), std::string("\xF8\x88\x80\x80\x80")}) {
    try {
      appendGeneralLegacyText(bad, true, out);
      FAIL() << "accepted malformed text";
    } catch (const Error& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Invalid);
    }
    EXPECT_EQ(out, Key{9});
  }
}

TEST(TextKey, EveryBmpCharacterEncodes) {
  // Each BMP character after a letter, both directions: no throw, the end mark, and the
  // descending key is the ascending one inverted plus a zero.
  for (uint32_t cp = 1; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::string s;
    if (cp < 0x80) {
      s = std::string(1, static_cast<char>(cp));
    } else if (cp < 0x800) {
      s = {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
    } else {
      s = {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
           static_cast<char>(0x80 | (cp & 0x3F))};
    }
    const Key asc = text("k" + s), desc = text("k" + s, false);
    ASSERT_EQ(asc.back(), 0x00) << std::hex << cp;
    Key inverted;
    for (uint8_t b : asc) inverted.push_back(static_cast<uint8_t>(~b));
    inverted.push_back(0x00);
    ASSERT_EQ(desc, inverted) << std::hex << cp;
  }
}

// The General order of Jet 3 files: one byte per letter, accents as 4-bit codes.
TEST(TextKey97, KnownKeys) {
  auto key97 = [](std::string_view s, bool asc = true) {
    Key out;
    appendGeneral97Text(s, asc, out);
    return out;
  };
  EXPECT_EQ(key97("A"), (Key{0x60, 0x00}));
  EXPECT_EQ(key97("a"), key97("A"));
  EXPECT_EQ(key97("é"), (Key{0x66, 0x04, 0x00}));
  EXPECT_EQ(key97("Aé"), (Key{0x60, 0x66, 0x02, 0x40}));  // a filler for the A before the accent
  EXPECT_EQ(key97("A", false), (Key{0x9F, 0xFF}));
  EXPECT_EQ(key97("ab  "), key97("ab"));
  EXPECT_EQ(key97("中"), key97(""));  // characters the order does not know take no part
  EXPECT_EQ(key97("\xE2\x82\xAC"), key97("\xC2\x80"));  // U+20AC sorts as code page character 0x80
}

TEST(Collation, SortKeysAndComparisons) {
  EXPECT_TRUE(textKeysEqual("Müller", "MÜLLER"));
  EXPECT_FALSE(textKeysEqual("Müller", "Muller"));
  EXPECT_TRUE(textKeysEqual("abc  ", "ABC"));
  EXPECT_TRUE(textKeysEqual("張三", "張三"));
  EXPECT_FALSE(textKeysEqual("張三", "張四"));
  EXPECT_LT(compareTextKeys("apple", "Banana"), 0);
  EXPECT_GT(compareTextKeys("banana", "Apple"), 0);
  EXPECT_EQ(compareTextKeys("HOLDER", "holder"), 0);
  EXPECT_LT(compareTextKeys("", "a"), 0);
  EXPECT_LT(compareTextKeys("9", "a"), 0);
  EXPECT_EQ(textSortKey("A"), std::string("\x4A\x01\x00", 3));

  // compareTextKeys agrees with the byte order of the sort keys on random texts.
  std::mt19937 rng(3);
  const std::vector<std::string> pieces{"a", "B", "é", "-", " ", "中", "ü", "Z", "0", "ß", "'", "\xE3\x81\x81"};
  for (int i = 0; i < 2000; ++i) {
    std::string a, b;
    for (int k = static_cast<int>(rng() % 6); k > 0; --k) a += pieces[rng() % pieces.size()];
    for (int k = static_cast<int>(rng() % 6); k > 0; --k) b += pieces[rng() % pieces.size()];
    const int c = compareTextKeys(a, b);
    const std::string ka = textSortKey(a), kb = textSortKey(b);
    ASSERT_EQ(c < 0, ka < kb) << a << " / " << b;
    ASSERT_EQ(c == 0, ka == kb) << a << " / " << b;
    ASSERT_EQ(textKeysEqual(a, b), ka == kb);
  }
}

}  // namespace
}  // namespace jet
