#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Keys below HKEY_CURRENT_USER. Key and value names match without regard to letter case, as
// the Windows registry matches them; the POSIX stand-in folds case the same way.
namespace platform {

enum class RegistryValueType { Absent, String, Integer, Other };

// An open key, full read and write access. Move-only; closed by its destructor.
class RegistryKey {
 public:
  // Opens the key, creating it and any missing key on its path. Invalid when that fails.
  static RegistryKey CreateCurrentUser(const std::string& path);

  RegistryKey();
  RegistryKey(RegistryKey&&) noexcept;
  RegistryKey& operator=(RegistryKey&&) noexcept;
  ~RegistryKey();

  bool Valid() const;
  RegistryValueType ValueType(const std::string& name) const;
  // The value, or nothing when it is absent or of another type.
  std::optional<std::string> ReadString(const std::string& name) const;
  std::optional<int32_t> ReadInteger(const std::string& name) const;
  bool WriteString(const std::string& name, const std::string& value);
  bool WriteInteger(const std::string& name, int32_t value);
  bool SubkeyExists(const std::string& path) const;
  // Creates the subkey and any missing key on its path; this key stays open as it is.
  bool CreateSubkey(const std::string& path);

  struct Impl;

 private:
  explicit RegistryKey(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
