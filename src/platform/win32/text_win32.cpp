#include <windows.h>

#include "platform/text.h"
#include "platform/win32/wide_text.h"

namespace platform {

std::string ToAnsi(std::string_view utf8) {
  std::wstring wide = Widen(utf8);
  if (wide.empty()) return {};
  int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), length, nullptr, nullptr);
  return ansi;
}

std::string FromAnsi(std::string_view bytes) {
  if (bytes.empty()) return {};
  int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), length);
  return Narrow(wide);
}

}  // namespace platform
