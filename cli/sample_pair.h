// A small QAR26M-shaped source/destination pair made from scratch by the storage engine, for
// trying the program without a site's databases: all eighteen tables, their keys, and records
// arranged so that each transfer strategy has something to do (shared and new keys, keys that
// differ only in letter case, blank test columns, destinations to replace).
#pragma once

#include <string>

namespace qar::cli {

struct SamplePair {
  std::string source;       // <folder>/source.mdb
  std::string destination;  // <folder>/destination.mdb
};

// Creates the folder if needed and writes both files. The tables get their primary keys
// where the engine can write indexes, and none otherwise. Refuses (std::runtime_error naming the
// file) when either file exists already; raises jet::Error when the engine cannot write.
// On failure no half-written file is left behind.
SamplePair makeSamplePair(const std::string& folder);

}  // namespace qar::cli
