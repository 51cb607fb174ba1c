// The configuration document reader on any text, both as it arrives in the launcher (every
// byte one character of the ANSI code page) and as raw bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/text.h"
#include "remote/config_document.h"

namespace {

void Read(const std::string& body) {
  TLauncherConfig config;
  std::vector<std::string> slides;
  ConfigDocumentHooks hooks{[](const std::string&) {}, [](const std::string&) {}};
  try {
    ReadConfigDocument(body, config, slides, hooks);
  } catch (const ConversionError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  Read(bytes);
  Read(platform::FromAnsi(bytes));
  return 0;
}
