// Large databases for the storage engine's benchmarks, made by the engine itself: a copy of a
// shared fixture whose HolderCardData table (Long, Text(20), Date/Time; no indexes) is filled
// with generated rows.
#pragma once

#include <cstdint>
#include <string>

namespace jet::bench {

// The fixture the databases start from, or "" when the shared fixtures are absent.
std::string baseFixture();

struct FillResult {
  double seconds = 0;        // inserting and flushing
  uint64_t fileBytes = 0;
  uint32_t dataPages = 0;    // pages holding the table's rows
  double pageFill = 0;       // share of those pages' bytes in use, 0..1
};

// Copies the fixture to path (replacing it), empties HolderCardData and inserts rows
// generated rows into it. Throws jet::Error or std::runtime_error on failure.
FillResult makeLargeDatabase(const std::string& path, uint32_t rows);

// The table makeLargeDatabase fills.
inline constexpr const char* kLargeTable = "HolderCardData";

}  // namespace jet::bench
