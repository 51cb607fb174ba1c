// The registry stand-in: HKEY_CURRENT_USER in memory. Names are stored as written and found
// without regard to letter case, as the Windows registry finds them.
#include <algorithm>
#include <vector>
#include <cctype>
#include <map>
#include <mutex>
#include <variant>

#include "platform/posix/registry_posix.h"
#include "platform/registry.h"

namespace platform {
namespace {

std::string Folded(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  return name;
}

struct OtherType {};
using Value = std::variant<std::string, int32_t, OtherType>;

struct Key {
  std::map<std::string, std::pair<std::string, Value>> values;  // folded name -> (name, value)
  std::map<std::string, Key> subkeys;                           // folded name -> key
};

struct Store {
  std::mutex mutex;
  Key root;
  bool read_only = false;
};

Store& TheStore() {
  static Store store;
  return store;
}

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path + "\\") {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(Folded(part));
      part.clear();
    } else {
      part += c;
    }
  }
  return parts;
}

Key* Find(Key& from, const std::string& path) {
  Key* key = &from;
  for (const auto& part : Split(path)) {
    auto found = key->subkeys.find(part);
    if (found == key->subkeys.end()) return nullptr;
    key = &found->second;
  }
  return key;
}

Key* Create(Key& from, const std::string& path) {
  Key* key = &from;
  for (const auto& part : Split(path)) key = &key->subkeys[part];
  return key;
}

}  // namespace

// The stand-in addresses its key by path, so a handle stays usable however the store changes.
struct RegistryKey::Impl {
  std::string path;
};

RegistryKey::RegistryKey() = default;
RegistryKey::RegistryKey(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
RegistryKey::RegistryKey(RegistryKey&&) noexcept = default;
RegistryKey& RegistryKey::operator=(RegistryKey&&) noexcept = default;
RegistryKey::~RegistryKey() = default;

RegistryKey RegistryKey::CreateCurrentUser(const std::string& path) {
  Store& store = TheStore();
  std::lock_guard lock(store.mutex);
  if (!Find(store.root, path)) {
    if (store.read_only) return RegistryKey();
    Create(store.root, path);
  }
  return RegistryKey(std::make_unique<Impl>(Impl{path}));
}

bool RegistryKey::Valid() const { return impl_ != nullptr; }

namespace {
const Value* FindValue(const RegistryKey::Impl* impl, const std::string& name) {
  if (!impl) return nullptr;
  Key* key = Find(TheStore().root, impl->path);
  if (!key) return nullptr;
  auto found = key->values.find(Folded(name));
  return found == key->values.end() ? nullptr : &found->second.second;
}
}  // namespace

RegistryValueType RegistryKey::ValueType(const std::string& name) const {
  std::lock_guard lock(TheStore().mutex);
  const Value* value = FindValue(impl_.get(), name);
  if (!value) return RegistryValueType::Absent;
  if (std::holds_alternative<std::string>(*value)) return RegistryValueType::String;
  if (std::holds_alternative<int32_t>(*value)) return RegistryValueType::Integer;
  return RegistryValueType::Other;
}

std::optional<std::string> RegistryKey::ReadString(const std::string& name) const {
  std::lock_guard lock(TheStore().mutex);
  const Value* value = FindValue(impl_.get(), name);
  if (!value || !std::holds_alternative<std::string>(*value)) return std::nullopt;
  return std::get<std::string>(*value);
}

std::optional<int32_t> RegistryKey::ReadInteger(const std::string& name) const {
  std::lock_guard lock(TheStore().mutex);
  const Value* value = FindValue(impl_.get(), name);
  if (!value || !std::holds_alternative<int32_t>(*value)) return std::nullopt;
  return std::get<int32_t>(*value);
}

namespace {
bool Write(const RegistryKey::Impl* impl, const std::string& name, Value value) {
  Store& store = TheStore();
  std::lock_guard lock(store.mutex);
  if (!impl || store.read_only) return false;
  Key* key = Find(store.root, impl->path);
  if (!key) return false;
  auto& slot = key->values[Folded(name)];
  if (slot.first.empty()) slot.first = name;  // an existing value keeps the name it was written with
  slot.second = std::move(value);
  return true;
}
}  // namespace

bool RegistryKey::WriteString(const std::string& name, const std::string& value) {
  return Write(impl_.get(), name, value);
}

bool RegistryKey::WriteInteger(const std::string& name, int32_t value) { return Write(impl_.get(), name, value); }

bool RegistryKey::SubkeyExists(const std::string& path) const {
  std::lock_guard lock(TheStore().mutex);
  return impl_ && Find(TheStore().root, impl_->path + "\\" + path) != nullptr;
}

bool RegistryKey::CreateSubkey(const std::string& path) {
  Store& store = TheStore();
  std::lock_guard lock(store.mutex);
  if (!impl_ || store.read_only) return false;
  Create(store.root, impl_->path + "\\" + path);
  return true;
}

namespace posix_registry {

void Reset() {
  std::lock_guard lock(TheStore().mutex);
  TheStore().root = Key{};
  TheStore().read_only = false;
}

void SetReadOnly(bool read_only) {
  std::lock_guard lock(TheStore().mutex);
  TheStore().read_only = read_only;
}

void WriteOther(const std::string& key_path, const std::string& name) {
  std::lock_guard lock(TheStore().mutex);
  Create(TheStore().root, key_path)->values[Folded(name)] = {name, OtherType{}};
}

}  // namespace posix_registry
}  // namespace platform
