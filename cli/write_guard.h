// The guard in front of the commands that write a database (import, create-table): the file
// is opened for writing (its writer's lock taken) and must pass the checks a conversion's
// destination passes before anything is written; otherwise nothing is written at all.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "jet/database_impl.h"

namespace qar::cli {

// Opens path for writing and checks it fit for writing the named tables (the whole file when
// wholeFile is set). A defect raises std::runtime_error naming it, with the file unchanged.
std::unique_ptr<jet::DatabaseImpl> openForWriting(const std::string& path, const std::vector<std::string>& tables,
                                                  bool wholeFile = false);

}  // namespace qar::cli
