// The one exception type of the storage engine.
// Every failure, from a short read to a duplicate key, is a jet::Error carrying a message
// that says what is wrong and, for damaged files, where (page number).
#pragma once

#include <stdexcept>
#include <string>

namespace jet {

enum class ErrorKind {
  Io,           // the operating system refused a read, write, sync or lock
  Corrupt,      // bytes on disk that cannot be what Access writes
  Unsupported,  // a valid file or feature the engine does not handle (ACE, encryption, ...)
  InUse,        // another writer holds the file's lock
  NotFound,     // a table, column or index that does not exist
  Invalid,      // a value or definition the column or table refuses
  Constraint,   // a unique index would get a duplicate key
  ReadOnly,     // a write asked of a database opened for reading
};

class Error : public std::runtime_error {
 public:
  Error(ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  ErrorKind kind() const noexcept { return kind_; }

 private:
  ErrorKind kind_;
};

}  // namespace jet
