// Sort orders other than General whose index keys are known to equal General's for some
// characters. A key made only of such characters is built with the General encoding; any
// other character in a key of such an order is refused, never guessed.
// The table holds what was measured on Jet 4 files. Nothing is proven for the sort orders of
// Jet 3 files but their General order: the key encoder (canEncodeSortOrder) refuses every
// other one there, whatever this table says of its locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "jet/schema.h"

namespace jet {

// One row of the table of proven sort orders.
struct ProvenSortOrder {
  uint16_t localeId;
  const char* name;    // e.g. "Chinese (PRC)"
  char32_t firstProven;  // the characters from firstProven to lastProven (inclusive)
  char32_t lastProven;
};

// The entry for order's locale (any version), or null when nothing is proven for it.
// General (1033) itself has no entry: every character of it is known.
const ProvenSortOrder* provenSortOrder(SortOrder order);

// A character of a text value whose key the engine cannot build in a sort order.
struct UnprovenCharacter {
  char32_t code;
};

// The first character among those that take part in the text's index key (its first
// kMaxTextKeyUnits UTF-16 code units) that is not proven for order; nothing when every one
// is, or when order is General. Malformed UTF-8 ends the walk (the key builder reports it).
std::optional<UnprovenCharacter> firstUnprovenCharacter(SortOrder order, std::string_view utf8);

// "U+4E2D '中'" (control characters and lone halves without the quoted form).
std::string describeCharacter(char32_t code);

// Throws Error(Unsupported) naming where (e.g. "index Name of table People"), the value and
// the character, when utf8 holds a character unproven for order. Nothing otherwise.
void requireProvenText(SortOrder order, std::string_view utf8, const std::string& where);

}  // namespace jet
