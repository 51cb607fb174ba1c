// The INI reader of the token file on any file content, with the launcher's buffer and with
// a tiny one that cuts most values.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view file(reinterpret_cast<const char*>(data), size);
  platform::ReadProfileText(file, "AUTH", "ClientToken", 2048);
  platform::ReadProfileText(file, "AUTH", "ClientToken", 3);
  return 0;
}
