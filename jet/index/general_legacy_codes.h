// The per-character code tables of Access's "General" text sort order as Jet 4 files use it
// (locale 1033, version 0; "General Legacy" in later Access) and as Jet 3 files use it.
// Private to the key encoder: one entry per UTF-16 code unit says which bytes the character
// contributes to a key.
#pragma once

#include <cstdint>

namespace jet {

// How a character takes part in a text key.
enum class CodeKind : uint8_t {
  Simple,            // inline bytes only (letters of either case share them)
  International,     // inline bytes of the base letter plus extra bytes (accents)
  Unprintable,       // no inline bytes; a positioned code in the unprintable section
  UnprintableExt,    // no inline bytes; modifies the previous extra byte
  InternationalExt,  // inline bytes, optional extra bytes and a 2-bit flag code
  Ignored,           // contributes nothing
  Significant,       // Jet 3 order only: inline bytes, and counts before the next accent
};

// One character's codes. inlineLen is 0..4, extraLen 0..2. For Unprintable, extra[0] is
// the unprintable code; for UnprintableExt it is the amount added to the previous extra byte.
struct CharCode {
  uint8_t inlineBytes[4];
  uint8_t extra[2];
  CodeKind kind;
  uint8_t inlineLen : 3;
  uint8_t extraLen : 2;
  uint8_t flag : 2;  // InternationalExt: 1 or 2
};
static_assert(sizeof(CharCode) == 8);

// The 65,536 entries, indexed by UTF-16 code unit (surrogate halves included).
// Built once, on first use; thread-safe.
const CharCode* generalLegacyCodes();

// The same for the General order of Jet 3 files, which knows 256 characters (and a few
// above 0xFF that sort as one of them); every other character is Ignored.
const CharCode* general97Codes();

}  // namespace jet
