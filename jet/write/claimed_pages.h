// The pages the database's objects name as theirs, gathered for the page allocator: a page
// the database's page map lists as free while some object still names it (Access leaves
// such pages behind) must never be handed to another owner.
#pragma once

#include <cstdint>
#include <vector>

namespace jet {
class DatabaseImpl;
}

namespace jet::write {

// Every page that a table of the catalog (system tables included) names: its definition
// pages, the rows and bitmap pages of its usage maps, the pages its owned-pages, free-space
// and index maps list (an index's map lists every page of its tree) and its index roots; and
// the bitmap pages of the database's page map. Sorted, without
// repeats. Throws jet::Error when a definition, map or tree cannot be read.
std::vector<uint32_t> claimedPages(DatabaseImpl& db);

}  // namespace jet::write
