// Text comparison through the General sort order's index keys: two texts are equal keys
// exactly when the bytes an ascending index would store for them are equal.
#include "jet/collation.h"

#include <algorithm>
#include <cstring>

#include "jet/index/proven_sort_orders.h"
#include "jet/index/text_key.h"

namespace jet {
namespace {

// Keys of typical short texts fit in the small-buffer room of a reused vector.
void keyOf(std::string_view utf8, std::vector<uint8_t>& out) {
  out.clear();
  appendGeneralLegacyText(utf8, true, out);
}

}  // namespace

std::string textSortKey(std::string_view utf8) {
  std::vector<uint8_t> key;
  keyOf(utf8, key);
  return std::string(key.begin(), key.end());
}

std::string textSortKey(std::string_view utf8, SortOrder order) {
  constexpr uint16_t kGeneral = 1033;
  if (order.id == kGeneral || order.id == 0) return textSortKey(utf8);  // 0: none given
  // Tags keep the two kinds of key apart.
  if (provenSortOrder(order) && !firstUnprovenCharacter(order, utf8)) return '\x01' + textSortKey(utf8);
  // Trailing blanks are dropped, as every index key drops them.
  while (!utf8.empty() && utf8.back() == ' ') utf8.remove_suffix(1);
  std::string key = "\x02";
  key.reserve(utf8.size() + 1);
  for (char c : utf8) key.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  return key;
}

int compareTextKeys(std::string_view a, std::string_view b) {
  thread_local std::vector<uint8_t> ka, kb;
  keyOf(a, ka);
  keyOf(b, kb);
  const size_t n = std::min(ka.size(), kb.size());
  const int c = n == 0 ? 0 : std::memcmp(ka.data(), kb.data(), n);
  if (c != 0) return c;
  return ka.size() < kb.size() ? -1 : (ka.size() > kb.size() ? 1 : 0);
}

bool textKeysEqual(std::string_view a, std::string_view b) { return compareTextKeys(a, b) == 0; }

}  // namespace jet
