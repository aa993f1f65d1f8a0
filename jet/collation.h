// Text comparison as Access's "General" sort order compares index keys: letter case
// (and other differences the sort order ignores) do not count. Callers that must match
// text exactly as a unique index would (the dataset layer's key search) use these.
#pragma once

#include <string>
#include <string_view>

#include "jet/schema.h"

namespace jet {

// The bytes an ascending General-sort index stores for this text (UTF-8 in).
// Two texts are equal keys exactly when their sort keys are equal.
std::string textSortKey(std::string_view utf8);

// The key a text is searched by in a column of this sort order; equal keys mean equal texts
// for that column (keys of different sort orders are not comparable). General (1033), or
// no order given (0): the key above. Another order: the General key when every character of the text is proven for
// the order (jet/index/proven_sort_orders.h), as the order's index would hold it; otherwise
// the text itself with only ASCII letters' case and trailing blanks ignored, so a search for
// text the engine cannot key never matches a text that differs from it in anything else
// (the order may tailor such characters in ways the engine does not know).
std::string textSortKey(std::string_view utf8, SortOrder order);

bool textKeysEqual(std::string_view a, std::string_view b);
// <0, 0, >0 in index order.
int compareTextKeys(std::string_view a, std::string_view b);

}  // namespace jet
