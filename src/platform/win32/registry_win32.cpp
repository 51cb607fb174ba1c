#include <windows.h>

#include "platform/registry.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/wide_text.h"

namespace platform {

struct RegistryKey::Impl {
  ScopedRegistryKey key;
};

RegistryKey::RegistryKey() = default;
RegistryKey::RegistryKey(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
RegistryKey::RegistryKey(RegistryKey&&) noexcept = default;
RegistryKey& RegistryKey::operator=(RegistryKey&&) noexcept = default;
RegistryKey::~RegistryKey() = default;

RegistryKey RegistryKey::CreateCurrentUser(const std::string& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return RegistryKey();
  }
  auto impl = std::make_unique<Impl>();
  impl->key.Reset(key);
  return RegistryKey(std::move(impl));
}

bool RegistryKey::Valid() const { return impl_ && impl_->key.Valid(); }

RegistryValueType RegistryKey::ValueType(const std::string& name) const {
  if (!Valid()) return RegistryValueType::Absent;
  DWORD type = 0;
  if (RegQueryValueExW(impl_->key.Get(), Widen(name).c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
    return RegistryValueType::Absent;
  if (type == REG_SZ || type == REG_EXPAND_SZ) return RegistryValueType::String;
  if (type == REG_DWORD) return RegistryValueType::Integer;
  return RegistryValueType::Other;
}

std::optional<std::string> RegistryKey::ReadString(const std::string& name) const {
  if (ValueType(name) != RegistryValueType::String) return std::nullopt;
  std::wstring wide_name = Widen(name);
  DWORD size = 0;
  RegQueryValueExW(impl_->key.Get(), wide_name.c_str(), nullptr, nullptr, nullptr, &size);
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegQueryValueExW(impl_->key.Get(), wide_name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()),
                       &size) != ERROR_SUCCESS)
    return std::nullopt;
  text.resize(size / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return Narrow(text);
}

std::optional<int32_t> RegistryKey::ReadInteger(const std::string& name) const {
  if (ValueType(name) != RegistryValueType::Integer) return std::nullopt;
  DWORD value = 0, size = sizeof(value);
  if (RegQueryValueExW(impl_->key.Get(), Widen(name).c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS)
    return std::nullopt;
  return static_cast<int32_t>(value);
}

bool RegistryKey::WriteString(const std::string& name, const std::string& value) {
  if (!Valid()) return false;
  std::wstring text = Widen(value);
  return RegSetValueExW(impl_->key.Get(), Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RegistryKey::WriteInteger(const std::string& name, int32_t value) {
  if (!Valid()) return false;
  DWORD data = static_cast<DWORD>(value);
  return RegSetValueExW(impl_->key.Get(), Widen(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof(data)) == ERROR_SUCCESS;
}

bool RegistryKey::SubkeyExists(const std::string& path) const {
  if (!Valid()) return false;
  HKEY key = nullptr;
  if (RegOpenKeyExW(impl_->key.Get(), Widen(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool RegistryKey::CreateSubkey(const std::string& path) {
  if (!Valid()) return false;
  HKEY key = nullptr;
  if (RegCreateKeyExW(impl_->key.Get(), Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

}  // namespace platform
