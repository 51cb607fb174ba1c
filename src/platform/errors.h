#pragma once
#include <stdexcept>
#include <string>

namespace platform {

// A failed file, registry or system operation, with the system's own description.
class SystemError : public std::runtime_error {
 public:
  SystemError(const std::string& what, unsigned long code) : std::runtime_error(what), code_(code) {}
  unsigned long Code() const { return code_; }

 private:
  unsigned long code_;
};

}  // namespace platform
