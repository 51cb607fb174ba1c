#include "platform/posix/simulated_disk.h"

#include <algorithm>
#include <mutex>

#include "platform/posix/test_hooks.h"

namespace platform {
namespace {

std::mutex disk_mutex;
std::optional<uint64_t> free_bytes;

}  // namespace

namespace posix_files {
void SimulateFreeSpace(std::optional<uint64_t> bytes) {
  std::lock_guard lock(disk_mutex);
  free_bytes = bytes;
}
}  // namespace posix_files

namespace simulated_disk {

std::optional<uint64_t> FreeBytes() {
  std::lock_guard lock(disk_mutex);
  return free_bytes;
}

uint64_t Take(uint64_t wanted) {
  std::lock_guard lock(disk_mutex);
  if (!free_bytes) return wanted;
  const uint64_t taken = std::min(wanted, *free_bytes);
  *free_bytes -= taken;
  return taken;
}

void GiveBack(uint64_t bytes) {
  std::lock_guard lock(disk_mutex);
  if (free_bytes) *free_bytes += bytes;
}

}  // namespace simulated_disk
}  // namespace platform
