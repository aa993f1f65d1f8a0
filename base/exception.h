// The program's one exception type: an error travelling as a message text.
// Every Qt-side layer (dataset, gauge, conversion, windows) raises this.
#pragma once

#include <stdexcept>
#include <string>

namespace qar {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string message() const { return what(); }
};

}  // namespace qar
