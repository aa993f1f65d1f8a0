// Operations of the public API that the index code and table creation provide.
// Until they do, each refuses with ErrorKind::Unsupported instead of pretending to work.
#include "jet/database.h"

namespace jet {

namespace {
[[noreturn]] void notYet(const char* what) {
  throw Error(ErrorKind::Unsupported, std::string(what) + " is not supported yet");
}
}  // namespace

std::optional<RowId> Table::seek(std::string_view, const Row&) const { notYet("index look-ups"); }
IndexCursor Table::indexScan(std::string_view) const { notYet("index scans"); }

// The index code gives cursors their real state.
struct IndexCursor::State {};

IndexCursor::IndexCursor(std::unique_ptr<State> state) : state_(std::move(state)) {}
IndexCursor::IndexCursor(IndexCursor&&) noexcept = default;
IndexCursor& IndexCursor::operator=(IndexCursor&&) noexcept = default;
IndexCursor::~IndexCursor() = default;
bool IndexCursor::next() { notYet("index scans"); }
RowId IndexCursor::id() const { notYet("index scans"); }

}  // namespace jet
