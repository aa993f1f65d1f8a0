// Whether a database may be written safely, asked before anything is written: the file and
// its folder can be written, the file is in the format the engine writes, and the tables to
// be written are sound (structure check) with every index in a sort order the engine keeps.
// Each function returns one line per defect; none means fit. Drift is not a defect.
#pragma once

#include <string>
#include <vector>

#include "jet/check/structure_check.h"

namespace jet {

class DatabaseImpl;

// The file and its folder (the journal is made there) can be written by this user.
std::vector<std::string> fileWritingDefects(const std::string& path);
// The engine writes Jet 4 files only.
std::vector<std::string> formatWritingDefects(const DatabaseImpl& db);
// Every index of the named tables is in a sort order (and of column kinds) the engine can
// keep up to date. Names the catalog lacks are skipped.
std::vector<std::string> sortOrderDefects(DatabaseImpl& db, const std::vector<std::string>& tables);

// All of the above and the structure check of the named tables (of the whole file when
// wholeFile is set, for writes that change the catalog): defects and drift warnings.
StructureReport checkFitForWriting(DatabaseImpl& db, const std::vector<std::string>& tables, bool wholeFile = false);

}  // namespace jet
