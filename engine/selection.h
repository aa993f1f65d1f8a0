// The process-wide values a conversion shares between the main window, the progress window
// and the headless command: the table selection, the cancel flag and the key search options.
// All are used from the one GUI thread, except CopyCancelled, which a signal handler may set.
#pragma once

#include <QString>

#include <array>
#include <atomic>

namespace qar {

inline constexpr int MaxSelectedTables = 18;

// The table selection: names in processing order in slots 1 to SelectedCount (slot 0 is
// never used). Written only by whoever starts a conversion, read by the run.
extern std::array<QString, MaxSelectedTables + 1> SelectedTables;
extern int SelectedCount;

// Empties the selection (SelectedCount = 0, every slot cleared).
void clearSelection();
// Puts name into the next free slot; raises qar::Exception when all 18 are taken.
void addSelectedTable(const QString& name);

// Set by Cancel (or Ctrl+C in the headless command), cleared when a progress window or a
// headless run is created. The run reads it before every record and after every table.
// Lock-free, so setting it from a signal handler is safe.
extern std::atomic<bool> CopyCancelled;

// Sets the key search options of a conversion (SearchOptions, search_options.h) to exactly
// {case-insensitive}; done when a progress window or a headless run is created.
void resetSearchOptions();

}  // namespace qar
