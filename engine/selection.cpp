// The process-wide selection and cancel flag (see selection.h).
#include "engine/selection.h"

#include "base/exception.h"
#include "engine/search_options.h"

namespace qar {

std::array<QString, MaxSelectedTables + 1> SelectedTables;
int SelectedCount = 0;
std::atomic<bool> CopyCancelled{false};
data::TLocateOptions SearchOptions{data::loCaseInsensitive};

static_assert(std::atomic<bool>::is_always_lock_free, "CopyCancelled is set from a signal handler");

void resetSearchOptions() { SearchOptions = data::TLocateOptions{data::loCaseInsensitive}; }

void clearSelection() {
  for (QString& slot : SelectedTables) slot.clear();
  SelectedCount = 0;
}

void addSelectedTable(const QString& name) {
  if (SelectedCount >= MaxSelectedTables)
    throw Exception("The table selection is full (" + std::to_string(MaxSelectedTables) +
                    " tables); cannot add " + name.toStdString());
  ++SelectedCount;
  SelectedTables[SelectedCount] = name;
}

}  // namespace qar
