#pragma once
#include <cstdint>
#include <optional>

// The disk a native test may put under every file of the POSIX stand-in (see test_hooks.h):
// a process-wide count of free bytes that growing files take and removed or truncated files
// give back. Inactive, it takes nothing and the real disks decide.
namespace platform::simulated_disk {

// The free bytes left; nothing when no disk is simulated.
std::optional<uint64_t> FreeBytes();
// Takes up to `wanted` bytes and returns how many it took: all of them when inactive.
uint64_t Take(uint64_t wanted);
void GiveBack(uint64_t bytes);

}  // namespace platform::simulated_disk
