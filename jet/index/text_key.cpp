// Builds General sort order text keys from the per-character code table.
// Everything is done in fixed buffers on the stack: a key never allocates beyond out.
#include "jet/index/text_key.h"

#include <array>
#include <cstring>

#include "jet/error.h"
#include "jet/index/general_legacy_codes.h"

namespace jet {
namespace {

// Bytes of the key's layout (stored values: never change).
constexpr uint8_t kEndText = 0x01;        // closes the inline codes, and opens later sections
constexpr uint8_t kEndKey = 0x00;         // closes the whole text key
constexpr uint8_t kExtraFiller = 0x02;    // extra code of a character without accents
constexpr uint8_t kUnprintableMark = 0x06;
constexpr uint16_t kUnprintableBase = 7;  // position field: (7 + 4 * position) | 0x8000
constexpr uint16_t kUnprintableStride = 4;
constexpr uint16_t kUnprintableFlag = 0x8000;
constexpr uint8_t kFlagByteStart = 0x80;  // three 2-bit flags per byte below this bit
constexpr uint8_t kFlagPlain = 2;         // trailing flags of this value are left out
constexpr std::array<uint8_t, 5> kFlagsTrailer{0xFF, 0x02, 0x80, 0xFF, 0x80};
constexpr uint8_t kFlagsBeforeUnprintable = 0xFF;

// Decodes up to kMaxTextKeyUnits UTF-16 code units of utf8 into units; returns the count.
size_t toUtf16Prefix(std::string_view utf8, uint16_t* units) {
  size_t n = 0;
  size_t i = 0;
  auto bad = [&]() {
    throw Error(ErrorKind::Invalid,
                "text for an index key is not valid UTF-8 (byte " + std::to_string(i) + ")");
  };
  while (i < utf8.size() && n < kMaxTextKeyUnits) {
    const uint8_t b = static_cast<uint8_t>(utf8[i]);
    uint32_t cp;
    size_t len;
    if (b < 0x80) {
      units[n++] = b;
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F, len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F, len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07, len = 4;
    } else {
      bad();
    }
    if (i + len > utf8.size()) bad();
    for (size_t k = 1; k < len; ++k) {
      const uint8_t c = static_cast<uint8_t>(utf8[i + k]);
      if ((c & 0xC0) != 0x80) bad();
      cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr uint32_t kMinForLength[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinForLength[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) bad();
    if (cp < 0x10000) {
      units[n++] = static_cast<uint16_t>(cp);
    } else {
      // A pair that does not fit whole keeps its first half, as a 255-unit cut would.
      cp -= 0x10000;
      units[n++] = static_cast<uint16_t>(0xD800 + (cp >> 10));
      if (n < kMaxTextKeyUnits) units[n++] = static_cast<uint16_t>(0xDC00 + (cp & 0x3FF));
    }
    i += len;
  }
  return n;
}

// The sections after the inline codes, gathered while the characters are walked.
// Capacities follow from 255 characters: at most two extra bytes, four unprintable bytes
// and one flag per character.
struct TextKeyTail {
  std::array<uint8_t, 2 * kMaxTextKeyUnits> extra;
  size_t extraLen = 0;
  size_t extraChars = 0;      // characters the extra section accounts for
  size_t extraModPrefix = 0;  // 1 when the section opened with a modifier, not a code
  std::array<uint8_t, 4 * kMaxTextKeyUnits> unprintable;
  size_t unprintableLen = 0;
  std::array<uint8_t, kMaxTextKeyUnits> flags;
  size_t flagCount = 0;

  // Characters before position that had no extra code get the filler.
  void fillTo(size_t position) {
    while (extraChars < position) {
      extra[extraLen++] = kExtraFiller;
      ++extraChars;
    }
  }
  void addExtra(size_t position, const CharCode& code) {
    fillTo(position);
    for (int b = 0; b < code.extraLen; ++b) extra[extraLen++] = code.extra[b];
    ++extraChars;
  }
  void addModifier(size_t position, uint8_t amount) {
    fillTo(position);
    if (extraLen > 0) {
      extra[extraLen - 1] = static_cast<uint8_t>(extra[extraLen - 1] + amount);
    } else {
      extra[extraLen++] = amount;
      extraModPrefix = 1;
    }
  }
  void addUnprintable(size_t position, uint8_t value) {
    // The position counts bytes of the extra section as it will stand, not characters.
    size_t at = position;
    if (extraLen > 0) at = extraLen + (position - extraChars) - extraModPrefix;
    const uint16_t field =
        static_cast<uint16_t>((kUnprintableBase + kUnprintableStride * at) | kUnprintableFlag);
    unprintable[unprintableLen++] = static_cast<uint8_t>(field >> 8);
    unprintable[unprintableLen++] = static_cast<uint8_t>(field);
    unprintable[unprintableLen++] = kUnprintableMark;
    unprintable[unprintableLen++] = value;
  }
};

// Writes the packed flags and their trailer at w; returns the new end.
uint8_t* writeFlags(const TextKeyTail& tail, uint8_t* w) {
  size_t count = tail.flagCount;
  while (count > 0 && tail.flags[count - 1] == kFlagPlain) --count;
  uint8_t packed = kFlagByteStart;
  int inByte = 0;
  for (size_t i = 0; i < count; ++i) {
    packed = static_cast<uint8_t>(packed | (tail.flags[i] << ((2 - inByte) * 2)));
    if (++inByte == 3) {
      *w++ = packed;
      packed = kFlagByteStart;
      inByte = 0;
    }
  }
  if (inByte > 0) *w++ = packed;
  for (uint8_t b : kFlagsTrailer) *w++ = b;
  return w;
}

// The longest key: four inline bytes per unit, the extra, flag and unprintable sections
// at their fullest, and the marks between them.
constexpr size_t kMaxTextKeyBytes = 4 * kMaxTextKeyUnits + 2 * kMaxTextKeyUnits + kMaxTextKeyUnits / 3 + 1 +
                                    kFlagsTrailer.size() + 4 * kMaxTextKeyUnits + 8;

}  // namespace

void appendGeneralLegacyText(std::string_view utf8, bool ascending, std::vector<uint8_t>& out) {
  std::array<uint16_t, kMaxTextKeyUnits> units;
  size_t count = toUtf16Prefix(utf8, units.data());
  while (count > 0 && units[count - 1] == ' ') --count;

  const CharCode* codes = generalLegacyCodes();
  uint8_t key[kMaxTextKeyBytes];
  uint8_t* w = key;
  TextKeyTail tail;
  size_t position = 0;  // characters with inline codes so far
  for (size_t i = 0; i < count; ++i) {
    const CharCode& code = codes[units[i]];
    // Always copy four bytes (the buffer has room for four per unit) and keep inlineLen.
    std::memcpy(w, code.inlineBytes, sizeof code.inlineBytes);
    w += code.inlineLen;
    if (code.kind == CodeKind::Simple) {  // most characters: inline codes only
      ++position;
      continue;
    }
    switch (code.kind) {
      case CodeKind::Simple:
        break;
      case CodeKind::Ignored:
        continue;
      case CodeKind::International:
        tail.addExtra(position, code);
        break;
      case CodeKind::InternationalExt:
        if (code.extraLen > 0) tail.addExtra(position, code);
        tail.flags[tail.flagCount++] = code.flag;
        break;
      case CodeKind::Unprintable:
        tail.addUnprintable(position, code.extra[0]);
        break;
      case CodeKind::UnprintableExt:
        tail.addModifier(position, code.extra[0]);
        break;
      case CodeKind::Significant:  // the Jet 3 table's kind; not in this one
        break;
    }
    if (code.inlineLen > 0) ++position;
  }
  *w++ = kEndText;

  // Filler codes at the end of the extra section say nothing and are dropped.
  while (tail.extraLen > 0 && tail.extra[tail.extraLen - 1] <= kExtraFiller) --tail.extraLen;
  const bool hasFlags = tail.flagCount > 0;
  const bool hasUnprintable = tail.unprintableLen > 0;
  std::memcpy(w, tail.extra.data(), tail.extraLen);
  w += tail.extraLen;
  if (hasFlags || hasUnprintable) {
    *w++ = kEndText;
    *w++ = kEndText;
    if (hasFlags) {
      w = writeFlags(tail, w);
      if (hasUnprintable) *w++ = kFlagsBeforeUnprintable;
    }
    if (hasUnprintable) {
      *w++ = kEndText;
      std::memcpy(w, tail.unprintable.data(), tail.unprintableLen);
      w += tail.unprintableLen;
    }
  }
  if (!ascending) {
    *w++ = kEndKey;
    for (uint8_t* p = key; p < w; ++p) *p = static_cast<uint8_t>(~*p);
  }
  *w++ = kEndKey;
  out.insert(out.end(), key, w);
}

void appendGeneral97Text(std::string_view utf8, bool ascending, std::vector<uint8_t>& out) {
  std::array<uint16_t, kMaxTextKeyUnits> units;
  size_t count = toUtf16Prefix(utf8, units.data());
  while (count > 0 && units[count - 1] == ' ') --count;

  // Accents go in 4-bit codes, high half of a byte first, between two zero codes; each
  // accent is preceded by one filler code per significant character since the last accent.
  const CharCode* codes = general97Codes();
  uint8_t key[4 * kMaxTextKeyUnits + kMaxTextKeyUnits + 4];
  uint8_t* w = key;
  uint8_t accents[kMaxTextKeyUnits + 2];  // one 4-bit code per entry
  size_t accentCount = 0;
  size_t significant = 0;
  for (size_t i = 0; i < count; ++i) {
    const CharCode& code = codes[units[i]];
    std::memcpy(w, code.inlineBytes, sizeof code.inlineBytes);
    w += code.inlineLen;
    if (code.kind == CodeKind::Significant) {
      ++significant;
    } else if (code.kind == CodeKind::International) {
      if (accentCount == 0) accents[accentCount++] = 0;
      // Fillers never overflow: there is at most one code per character.
      for (; significant > 0; --significant) accents[accentCount++] = kExtraFiller;
      accents[accentCount++] = code.extra[0] & 0x0F;
    }
  }
  if (accentCount > 0) {
    accents[accentCount++] = 0;
    for (size_t i = 0; i < accentCount; i += 2) {
      const uint8_t low = i + 1 < accentCount ? accents[i + 1] : 0;
      *w++ = static_cast<uint8_t>((accents[i] << 4) | low);
    }
  } else {
    *w++ = kEndKey;
  }
  if (!ascending) {
    for (uint8_t* p = key; p < w; ++p) *p = static_cast<uint8_t>(~*p);
  }
  out.insert(out.end(), key, w);
}

}  // namespace jet
