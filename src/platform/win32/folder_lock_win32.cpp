// Folder locks as named mutexes: a mutex whose owner ends without releasing it is handed to the
// next waiter as abandoned, so a killed holder frees it at once.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <utility>

#include "platform/folder_lock.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

class MutexLock : public FolderLock {
 public:
  explicit MutexLock(ScopedKernelHandle mutex) : mutex_(std::move(mutex)) {}
  ~MutexLock() override {
    if (mutex_) ReleaseMutex(mutex_.Get());
  }

 private:
  ScopedKernelHandle mutex_;
};

class NoLock : public FolderLock {};

// The same folder gives the same name however its path is spelt: full, and in one letter case.
std::wstring MutexNameOf(const std::string& folder) {
  std::wstring wide = Widen(folder);
  wchar_t full[MAX_PATH * 4];
  DWORD length = GetFullPathNameW(wide.c_str(), MAX_PATH * 4, full, nullptr);
  if (length > 0 && length < MAX_PATH * 4) wide.assign(full, length);
  while (wide.size() > 3 && (wide.back() == L'\\' || wide.back() == L'/')) wide.pop_back();
  CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  // FNV-1a over the UTF-16 code units: mutex names cannot hold a path's backslashes.
  uint64_t hash = 14695981039346656037ull;
  for (wchar_t unit : wide) {
    hash = (hash ^ static_cast<uint16_t>(unit)) * 1099511628211ull;
  }
  wchar_t name[64];
  std::swprintf(name, 64, L"LauncherFolderLock-%016llx", static_cast<unsigned long long>(hash));
  return name;
}

}  // namespace

std::unique_ptr<FolderLock> FolderLock::Take(const std::string& folder, uint32_t timeout_ms) {
  ScopedKernelHandle mutex(CreateMutexW(nullptr, FALSE, MutexNameOf(folder).c_str()));
  if (!mutex) return std::make_unique<NoLock>();
  switch (WaitForSingleObject(mutex.Get(), timeout_ms)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:
      return std::make_unique<MutexLock>(std::move(mutex));
    case WAIT_TIMEOUT:
      return nullptr;
    default:
      return std::make_unique<NoLock>();
  }
}

}  // namespace platform
