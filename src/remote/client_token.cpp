#include "remote/client_token.h"

#include "common/launcher_config.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace {
// Room for 2047 characters and the terminating NUL.
constexpr size_t kTokenBufferChars = 2048;
}  // namespace

// The doubled separators and the "." are part of the path the launcher has always used; the
// system's path handling reads them as single separators and the same folder.
std::string ClientTokenPath(const std::string& folder) { return folder + ".\\\\VALKO\\\\Launcher\\\\Config.vlk"; }

void LoadClientToken() {
  LauncherConfig.ClientToken =
      platform::ReadProfileString(ClientTokenPath(platform::ExecutableFolder()), "AUTH", "ClientToken", kTokenBufferChars);
}
