// Text comparison through the General sort order's index keys: two texts are equal keys
// exactly when the bytes an ascending index would store for them are equal.
#include "jet/collation.h"

#include <algorithm>
#include <cstring>

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
