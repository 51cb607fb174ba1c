// Folder locks as flock() on a file in the temporary folder named after the folder: the kernel
// drops the lock with the last descriptor, so a killed holder frees it at once. Each Take opens
// its own descriptor, so two holders in one process exclude each other as two processes do.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "platform/folder_lock.h"

namespace platform {
namespace {

class FlockLock : public FolderLock {
 public:
  explicit FlockLock(int fd) : fd_(fd) {}
  ~FlockLock() override { close(fd_); }  // closing the descriptor releases the lock
  FlockLock(const FlockLock&) = delete;
  FlockLock& operator=(const FlockLock&) = delete;

 private:
  int fd_;
};

class NoLock : public FolderLock {};

std::string LockFileOf(const std::string& folder) {
  std::error_code error;
  std::filesystem::path path = std::filesystem::weakly_canonical(folder, error);
  std::string key = error ? folder : path.string();
  while (key.size() > 1 && key.back() == '/') key.pop_back();
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char byte : key) hash = (hash ^ byte) * 1099511628211ull;
  char name[64];
  std::snprintf(name, sizeof name, "launcher-folder-lock-%016llx", static_cast<unsigned long long>(hash));
  return (std::filesystem::temp_directory_path(error) / name).string();
}

}  // namespace

std::unique_ptr<FolderLock> FolderLock::Take(const std::string& folder, uint32_t timeout_ms) {
  int fd = open(LockFileOf(folder).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return std::make_unique<NoLock>();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return std::make_unique<FlockLock>(fd);
    if (errno != EWOULDBLOCK && errno != EINTR) {
      close(fd);
      return std::make_unique<NoLock>();
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      close(fd);
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace platform
