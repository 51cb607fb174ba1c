#include "remote/config_service.h"

#include "common/launcher_config.h"
#include "remote/config_document.h"
#include "remote/server_logo.h"
#include "remote/web_retrieval.h"

const char ConfigServiceBase[] = LAUNCHER_CONFIG_SERVICE_BASE;

void LoadLauncherConfig(LauncherView& view) { LoadLauncherConfig(ConfigServiceBase, view, WriteLog); }

// The token goes into the address as it is: the service receives exactly what the token file
// holds, and an empty token still asks.
void LoadLauncherConfig(const std::string& service_base, LauncherView& view, const LogSink& log) {
  std::string body = GetURLContent(service_base + "/api/return.php?token=" + LauncherConfig.ClientToken);
  ConfigDocumentHooks hooks{log, [&](const std::string& address) { LoadServerLogo(view, address, log); }};
  ReadConfigDocument(body, LauncherConfig, SlideList, hooks);
}
