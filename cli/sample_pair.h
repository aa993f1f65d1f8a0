// A small QAR26M-shaped source/destination pair made from scratch by the storage engine, for
// trying the program without a site's databases: all eighteen tables, their keys, and records
// arranged so that each transfer strategy has something to do (shared and new keys, keys that
// differ only in letter case, blank test columns, destinations to replace).
#pragma once

#include <string>

#include "jet/schema.h"

namespace qar::cli {

struct SamplePair {
  std::string source;       // <folder>/source.mdb
  std::string destination;  // <folder>/destination.mdb
};

// Creates the folder if needed and writes both files. The tables get their primary keys
// where the engine can write indexes, and none otherwise. Refuses (std::runtime_error naming the
// file) when either file exists already; raises jet::Error when the engine cannot write.
// On failure no half-written file is left behind. The destination's Text and Memo columns
// take destinationTextOrder (the source's stay General), as a site's database made by Access
// in another language carries its locale's sort order.
SamplePair makeSamplePair(const std::string& folder, jet::SortOrder destinationTextOrder = {1033, 0});

}  // namespace qar::cli
