// Opening a database file: the engine's private side (jet/open_database.h) made with the
// writer's session factory, so every database opened here can be written when its mode allows.
#pragma once

#include <memory>
#include <string>

#include "jet/database.h"
#include "jet/io/file.h"
#include "jet/open_database.h"

namespace jet {

// Opens and checks a file: header, page size, catalog. Used by Database::open and by tools
// that work on a File directly (tests and fuzzers use a MemoryFile).
std::unique_ptr<DatabaseImpl> openDatabaseImpl(std::unique_ptr<File> file, std::string path, OpenMode mode);

// Opens a database file on disk the way every open should: a journal left by an interrupted
// flush is settled first (see openSettled), and lockWaitMs bounds every wait for another
// open's flush.
std::unique_ptr<DatabaseImpl> openDatabaseFile(const std::string& path, OpenMode mode, int lockWaitMs = 15000);

}  // namespace jet
