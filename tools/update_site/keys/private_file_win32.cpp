#include <optional>

#include "common/scoped_removal.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/system_error.h"
#include "platform/win32/wide_text.h"
#include "update_site/keys/private_file.h"

void CreatePrivateFile(const std::string& path, std::string_view content) {
  // Declared first, so that it removes an unfinished file only after the handle is closed:
  // Windows does not delete a file that is still open unshared.
  std::optional<ScopedRemoval> unfinished;
  ScopedKernelHandle file(
      CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) throw FileExists("\"" + path + "\" exists already");
    throw platform::SystemError("Cannot create \"" + path + "\". " + platform::SystemMessage(error), error);
  }
  unfinished.emplace(path);
  DWORD written = 0;
  if (!WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) ||
      written != content.size()) {
    platform::RaiseLastError("Write error on \"" + path + "\"");
  }
  if (!FlushFileBuffers(file.Get())) platform::RaiseLastError("Cannot flush \"" + path + "\"");
  file.Reset();
  unfinished->Keep();
}
