#include "update_site/utf8_path.h"

std::filesystem::path FsPath(std::string_view utf8) { return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8(const std::filesystem::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string GenericUtf8(const std::filesystem::path& path) {
  std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}
