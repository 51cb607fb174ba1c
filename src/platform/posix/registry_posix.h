#pragma once
#include <string>

// Test hooks of the in-memory registry stand-in.
namespace platform::posix_registry {

// Empties HKEY_CURRENT_USER.
void Reset();
// While set, every write and every key creation is refused, as for a key without write access.
void SetReadOnly(bool read_only);
// Stores a value of a type the launcher does not use (REG_BINARY).
void WriteOther(const std::string& key_path, const std::string& name);

}  // namespace platform::posix_registry
