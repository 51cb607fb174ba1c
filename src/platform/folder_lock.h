#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// An exclusive claim on a folder, shared by every process of the machine: while one holder has
// it, every other waits, in this process or another. The system releases it when the holder is
// destroyed or its process ends in any way, killed included, so a waiter never waits for a
// holder that is gone. It is destroyed on the thread that took it.
class FolderLock {
 public:
  // Takes the lock of the folder (a full path; letter case counts as the system's file names
  // do) within timeout_ms, 0 to only try. Nothing when another holder kept it all that time.
  // Where the system cannot provide the lock at all, the claim succeeds without excluding
  // anyone, so that the work it guards is never kept from running.
  static std::unique_ptr<FolderLock> Take(const std::string& folder, uint32_t timeout_ms);
  virtual ~FolderLock() = default;
};

}  // namespace platform
