// The sort orders whose keys are proven equal to General's for some characters, and the
// check that a text value keeps to them.
#include "jet/index/proven_sort_orders.h"

#include <array>
#include <cstdio>

#include "jet/error.h"
#include "jet/index/text_key.h"
#include "jet/text.h"

namespace jet {
namespace {

// Measured on 14 files written by Access, taken from public repositories, in 8 sort orders:
// each text column relabelled as General (1033, version 0) in a copy, then every index entry
// rebuilt from its row with the General encoding and compared with the entry Access wrote.
//   2052 Chinese (PRC): 5 files, every entry equal (keys mostly ASCII: letters of both
//        cases, digits, punctuation).
//   1041 Japanese: 3 files, equal in two; one entry differs in the third.
//   1028 Chinese (Taiwan): 1 file, equal but for one entry.
//   1045 Polish: 2 files, 1058 Ukrainian: 1 file, every entry equal (no letters special to
//        those languages in their keys).
//   1042 Korean: Latin letters' weights are shifted; 1055 Turkish: 'I' and dotless 'i'
//        differ. Nothing is proven for them, nor for any order not listed here.
// In these orders Access keeps General's weights for what it does not tailor and tailors per
// character (ideographs, kana, Hangul, language letters); only printable ASCII is proven.
// The files' sort-order versions were not recorded, so every version of a locale counts.
constexpr std::array<ProvenSortOrder, 5> kProven{{
    {2052, "Chinese (PRC)", U'\u0020', U'\u007E'},
    {1028, "Chinese (Taiwan)", U'\u0020', U'\u007E'},
    {1041, "Japanese", U'\u0020', U'\u007E'},
    {1045, "Polish", U'\u0020', U'\u007E'},
    {1058, "Ukrainian", U'\u0020', U'\u007E'},
}};

constexpr uint16_t kGeneralLocale = 1033;

// The next code point of utf8 at i (advancing i); nothing on malformed UTF-8.
std::optional<char32_t> nextCodePoint(std::string_view utf8, size_t& i) {
  const auto b = static_cast<uint8_t>(utf8[i]);
  size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
  if (len == 0 || i + len > utf8.size()) return std::nullopt;
  char32_t cp = len == 1 ? b : b & (0x7F >> len);
  for (size_t k = 1; k < len; ++k) {
    const auto c = static_cast<uint8_t>(utf8[i + k]);
    if ((c & 0xC0) != 0x80) return std::nullopt;
    cp = (cp << 6) | (c & 0x3F);
  }
  i += len;
  return cp;
}

std::string shortened(std::string_view utf8) {
  constexpr size_t kShown = 60;
  if (utf8.size() <= kShown) return std::string(utf8);
  size_t cut = kShown;
  while (cut > 0 && (static_cast<uint8_t>(utf8[cut]) & 0xC0) == 0x80) --cut;  // whole characters
  return std::string(utf8.substr(0, cut)) + "...";
}

}  // namespace

const ProvenSortOrder* provenSortOrder(SortOrder order) {
  for (const ProvenSortOrder& p : kProven) {
    if (p.localeId == order.id) return &p;
  }
  return nullptr;
}

std::optional<UnprovenCharacter> firstUnprovenCharacter(SortOrder order, std::string_view utf8) {
  if (order.id == kGeneralLocale) return std::nullopt;
  const ProvenSortOrder* proven = provenSortOrder(order);
  size_t units = 0;
  if (!proven) {
    size_t i = 0;
    const auto cp = utf8.empty() ? std::nullopt : nextCodePoint(utf8, i);
    return cp ? std::optional<UnprovenCharacter>(UnprovenCharacter{*cp}) : std::nullopt;
  }
  const size_t n = utf8.size();
  for (size_t i = 0; i < n && units < kMaxTextKeyUnits;) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    char32_t cp = b;
    if (b < 0x80) {
      ++i;  // the usual case, without the decoder
    } else {
      const auto decoded = nextCodePoint(utf8, i);
      if (!decoded) return std::nullopt;
      cp = *decoded;
    }
    units += cp >= 0x10000 ? 2 : 1;
    if (cp < proven->firstProven || cp > proven->lastProven) return UnprovenCharacter{cp};
  }
  return std::nullopt;
}

std::string describeCharacter(char32_t code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(code));
  std::string out = hex;
  if (code >= 0x20 && code != 0x7F && !(code >= 0x80 && code < 0xA0) && !(code >= 0xD800 && code <= 0xDFFF) &&
      code <= 0x10FFFF) {
    out += " '";
    appendUtf8(out, code);
    out += "'";
  }
  return out;
}

void requireProvenText(SortOrder order, std::string_view utf8, const std::string& where) {
  const auto bad = firstUnprovenCharacter(order, utf8);
  if (!bad) return;
  const ProvenSortOrder* proven = provenSortOrder(order);
  std::string orderName = (proven ? std::string(proven->name) + " " : std::string("sort order ")) + "(" +
                          std::to_string(order.id) + ", version " + std::to_string(order.version) + ")";
  std::string message = where.empty() ? std::string() : where + ": ";
  message += "the value \"" + shortened(utf8) + "\" holds " + describeCharacter(bad->code) +
             ", whose index key in the sort order " + orderName + " the engine cannot build (";
  message += proven ? "only printable ASCII is known to sort there as in General" : "no character is known to sort there as in General";
  message += ")";
  throw Error(ErrorKind::Unsupported, message);
}

}  // namespace jet
