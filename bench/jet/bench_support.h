// Large databases for the storage engine's benchmarks, made by the engine itself: a new
// database with one table, HolderCardData (Long, Text(20), Date/Time; no indexes), filled with
// generated rows (needs no fixture); or a table of a copy of an existing file filled the same way.
#pragma once

#include <cstdint>
#include <string>

namespace jet::bench {

struct FillResult {
  double seconds = 0;        // inserting and flushing, wall clock
  double cpuSeconds = 0;     // the same, processor time of this process (the machine is shared)
  uint64_t fileBytes = 0;
  uint32_t dataPages = 0;    // pages holding the table's rows
  double pageFill = 0;       // share of those pages' bytes in use, 0..1
};

// Creates the database at path (replacing any file there) and inserts `rows` generated rows.
// Throws jet::Error on failure.
FillResult makeLargeDatabase(const std::string& path, uint32_t rows);

// Inserts `rows` generated rows into `table` (Text, Long and Date/Time columns get values;
// other columns stay Null) of a copy at path of the database `from`, and measures as above.
// The table must have no indexes. Throws jet::Error on failure.
FillResult fillTableOfCopy(const std::string& from, const std::string& path, const std::string& table, uint32_t rows);

// The table makeLargeDatabase fills.
inline constexpr const char* kLargeTable = "HolderCardData";

}  // namespace jet::bench
