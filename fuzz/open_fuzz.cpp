// Fuzz target: any bytes, opened as a database from memory and read completely (every table's
// definition and every row). Only jet::Error may come out; anything else is a finding.
// Seed it with the shared fixtures: jet_open_fuzz CORPUS ../shared/fixtures/access/jet4
#include <cstddef>
#include <cstdint>
#include <vector>

#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/io/file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    auto file = std::make_unique<jet::MemoryFile>(std::vector<uint8_t>(data, data + size), false, "fuzz.mdb");
    auto db = jet::Database::adopt(jet::openDatabaseImpl(std::move(file), "fuzz.mdb", jet::OpenMode::ReadOnly));
    for (const auto& name : db->tableNames()) {
      jet::Table table = db->table(name);
      for (jet::RowCursor c = table.scan(); c.next();) {
        if (c.values().size() != table.def().columns.size()) __builtin_trap();
      }
    }
  } catch (const jet::Error&) {
    // Refusing damaged input with a message is the expected outcome.
  }
  return 0;
}
