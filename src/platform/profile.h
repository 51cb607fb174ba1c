#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// INI files read with the system's profile rules (GetPrivateProfileStringW).
namespace platform {

// The value of key in section of the INI file at path, as UTF-8, at most buffer_chars - 1
// UTF-16 code units long. Empty when the file, the section or the key is missing or the file
// cannot be read. Section and key names match whatever their case; blanks around the value
// and one pair of enclosing double or single quotes are dropped; the first section of that
// name counts, and in it the first occurrence of the key.
std::string ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                              size_t buffer_chars);

// The same rules on a file's bytes: ANSI code page text, or UTF-8 or UTF-16 after a byte-order
// mark. Defined by the POSIX stand-in only, which reads files with it; tests and fuzzers call
// it directly.
std::string ReadProfileText(std::string_view file_bytes, std::string_view section, std::string_view key,
                            size_t buffer_chars);

}  // namespace platform
