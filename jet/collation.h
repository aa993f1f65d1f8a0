// Text comparison as Access's "General" sort order compares index keys: letter case
// (and other differences the sort order ignores) do not count. Callers that must match
// text exactly as a unique index would (the dataset layer's key search) use these.
#pragma once

#include <string>
#include <string_view>

namespace jet {

// The bytes an ascending General-sort index stores for this text (UTF-8 in).
// Two texts are equal keys exactly when their sort keys are equal.
std::string textSortKey(std::string_view utf8);

bool textKeysEqual(std::string_view a, std::string_view b);
// <0, 0, >0 in index order.
int compareTextKeys(std::string_view a, std::string_view b);

}  // namespace jet
