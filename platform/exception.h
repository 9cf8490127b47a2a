// The program's general error class: an error that carries a message text for the user.
// Every error the program raises itself derives from it; the pipeline's worker handles
// exactly these.
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

}  // namespace platform
