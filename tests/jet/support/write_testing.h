// Test helpers for the write side: running mdbtools (and other commands) on files the engine
// wrote, the structure check of a file on disk, and relabelling a file's sort orders.
#pragma once

#include <filesystem>
#include <string>

#include "jet/check/structure_check.h"
#include "jet/schema.h"

namespace jet::testing {

// Runs a shell command and returns what it printed on standard output.
std::string runCommand(const std::string& command);
// Whether mdbtools' mdb-export is installed (the interop checks skip without it).
bool haveMdbTools();
// mdb-export of one table, binary columns as hex (so rows stay one per line), errors included.
std::string mdbExport(const std::filesystem::path& file, const std::string& table);
// The structure check of a file, opened read-only.
StructureReport checkFile(const std::filesystem::path& file);
// The defects of a report, one per line (for failure messages).
std::string describeDefects(const StructureReport& report);
// Rewrites, in the file, the sort order of every Text and Memo column of its user tables
// (Jet 3 files store no version), as a copy relabelled by hand would be; index entries stay
// as they are.
void relabelTextSortOrders(const std::filesystem::path& file, SortOrder order);
// The same for the code page of every Text and Memo column of a Jet 3 file.
void relabelTextCodePages(const std::filesystem::path& file, uint16_t codePage);

}  // namespace jet::testing
