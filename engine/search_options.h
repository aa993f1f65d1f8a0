// SearchOptions, the process-wide options of the key searches a conversion makes. Kept apart
// from selection.h so that callers of the selection need not see the dataset layer.
#pragma once

#include "data/query.h"

namespace qar {

// Exactly {case-insensitive} while a conversion runs (resetSearchOptions, selection.h).
extern data::TLocateOptions SearchOptions;

}  // namespace qar
