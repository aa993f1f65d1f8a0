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
// Refused, with nothing left behind, when `from` is not a Jet 4 file, has an index in a sort
// order the engine cannot encode, or its layout is damaged (checked on the fresh copy); any
// later failure (a write error) removes `to` and rethrows. Before the call returns, the copy
// passes the full structure check and its file is read back equal to the pages checked. progress(done, total) is
// called after each step (a table's rows taken out, or put back).
CompactionFigures compactCopy(const std::string& from, const std::string& to,
                              const std::function<void(size_t, size_t)>& progress = {},
                              const FileOpener& open = openFile);

}  // namespace jet::write
