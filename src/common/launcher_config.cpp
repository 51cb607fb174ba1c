#include "common/launcher_config.h"

TLauncherConfig LauncherConfig;
std::vector<std::string> SlideList;
