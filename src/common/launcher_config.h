#pragma once
#include <string>
#include <vector>

// The configuration values, all empty until loaded. Written only during start-up, before the
// update worker exists; read afterwards on the window thread. The worker gets its own copy of
// the update location.
struct TLauncherConfig {
  std::string ClientToken;
  std::string Design;
  std::string UpdateUrl;
  std::string VPS_IP;
  std::string ConnectServerPort;
  std::string Title;
  std::string Phrase;
};

extern TLauncherConfig LauncherConfig;
// The slide image addresses from the configuration, in document order.
extern std::vector<std::string> SlideList;
