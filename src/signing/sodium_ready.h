#pragma once
#include <sodium/core.h>

#include <stdexcept>

// libsodium must be initialised once before any other call; sodium_init() itself is safe to
// race, and the function-local static makes the later calls free.
inline void EnsureSodiumReady() {
  static const bool ready = [] {
    if (sodium_init() < 0) throw std::runtime_error("libsodium cannot be initialised");
    return true;
  }();
  (void)ready;
}
