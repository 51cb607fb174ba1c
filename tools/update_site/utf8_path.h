#pragma once
#include <filesystem>
#include <string>
#include <string_view>

// Paths inside the tool are UTF-8, as the platform layer takes them. std::filesystem would read a
// narrow string in the ANSI code page on Windows, so every conversion goes through these.
std::filesystem::path FsPath(std::string_view utf8);
// With the system's own separators.
std::string Utf8(const std::filesystem::path& path);
// With "/" between directories.
std::string GenericUtf8(const std::filesystem::path& path);
