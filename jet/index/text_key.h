// Text index keys in Access's "General" sort order of Jet 4 files (locale 1033, version 0),
// and of Jet 3 files: the bytes that follow a text column's start flag in an index entry.
//
// A key holds one inline code per significant character (letter case does not change it),
// then an end mark and, when needed, sections for accents, unprintable characters and the
// flags of some special letters. Only the first 255 UTF-16 code units take part, and
// trailing blanks are dropped first, as Access does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace jet {

// Characters of a text value that take part in its index key.
constexpr size_t kMaxTextKeyUnits = 255;

// Appends the key of the UTF-8 text to out. Descending keys are stored with their bytes
// inverted and one more zero byte. Throws jet::Error (Invalid) on malformed UTF-8; out is
// then left as it was.
void appendGeneralLegacyText(std::string_view utf8, bool ascending, std::vector<uint8_t>& out);

// The code page whose characters the General order of Jet 3 files is known for: keys of
// text stored in another code page are not built.
constexpr uint16_t kGeneral97CodePage = 1252;

// The same for the General order of Jet 3 files: one inline code per known character, then
// the accents as 4-bit codes (or a single zero byte); descending keys are inverted whole.
void appendGeneral97Text(std::string_view utf8, bool ascending, std::vector<uint8_t>& out);

}  // namespace jet
