// Compaction: a copy of a database with its rows and long values laid out again on the
// lowest pages, full, its indexes rebuilt and the free pages at its end cut off. Every object
// stays where the catalog and the other system tables name it: table definitions, index
// roots and usage maps keep their pages, so object ids stay valid.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "jet/io/file.h"

namespace jet::write {

// Opens the files compaction reads and writes (tests pass one that fails on purpose).
using FileOpener = std::function<std::unique_ptr<File>(const std::string& path, FileAccess access)>;

struct CompactionFigures {
  uint32_t pagesBefore = 0, pagesAfter = 0;
  uint64_t bytesBefore = 0, bytesAfter = 0;
  uint32_t tables = 0;  // system tables included
  uint64_t rows = 0;
};

// Writes the compacted copy of `from` to `to`, which must not exist; `from` is only read.
// Refused, with nothing written, when `from` is not a Jet 4 file, or the structure check finds
// damage; any later failure (a sort order the engine cannot encode, a write error) removes
// `to` and rethrows. The copy is checked before the call returns. progress(done, total) is
// called after each step (a table's rows taken out, or put back).
CompactionFigures compactCopy(const std::string& from, const std::string& to,
                              const std::function<void(size_t, size_t)>& progress = {},
                              const FileOpener& open = openFile);

}  // namespace jet::write
