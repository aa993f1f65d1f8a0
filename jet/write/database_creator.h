// Builds a new, empty database (Jet 4, or Jet 3 for Access 97) from nothing: the header page, the database's page map,
// and the system tables a new database has (MSysObjects, MSysACEs, MSysQueries,
// MSysRelationships) with their catalog entries and access entries, as the Jet engine
// writes them when it creates a database.
#pragma once

#include <string>

#include "jet/format/types.h"

namespace jet::write {

// Writes the new file at path (which must not exist), in code page 1252 and the General
// sort order. The catalog and access rows are added afterwards through the normal writer;
// see Database::create.
void writeEmptyDatabaseFile(const std::string& path, Format format = Format::Jet4);
}  // namespace jet::write

namespace jet {
class DatabaseImpl;
namespace write {
// Adds the catalog entries and access entries of the system tables to a file made by
// writeEmptyDatabaseFile and opened for writing (one undoable operation, not yet flushed).
void addSystemRows(DatabaseImpl& db);
}  // namespace write

}  // namespace jet::write
