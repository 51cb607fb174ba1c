#include <windows.h>

#include "platform/profile.h"
#include "platform/win32/wide_text.h"

namespace platform {

std::string ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                              size_t buffer_chars) {
  if (buffer_chars == 0) return {};
  std::wstring buffer(buffer_chars, L'\0');
  DWORD length = GetPrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), L"", buffer.data(),
                                          static_cast<DWORD>(buffer.size()), Widen(path).c_str());
  return Narrow(std::wstring_view(buffer.data(), length));
}

}  // namespace platform
