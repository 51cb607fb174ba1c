#pragma once
#include <cstddef>
#include <string>

// Where the step-th delta (from 1) of a game file's chain waits until the file is rebuilt.
inline std::string DeltaFileName(const std::string& target, size_t step) {
  return target + "." + std::to_string(step) + ".delta";
}
