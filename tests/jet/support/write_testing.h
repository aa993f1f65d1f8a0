// Test helpers for the write side: running mdbtools (and other commands) on files the engine
// wrote, and the structure check of a file on disk.
#pragma once

#include <filesystem>
#include <string>

#include "jet/check/structure_check.h"

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

}  // namespace jet::testing
