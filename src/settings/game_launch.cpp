#include "settings/game_launch.h"

#include "common/fixed_names.h"
#include "common/launcher_config.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"

std::string GameArguments() {
  return "connect /u" + LauncherConfig.VPS_IP + " /p" + LauncherConfig.ConnectServerPort;
}

void jogarClick(const std::function<void()>& end_launcher) {
  std::string arguments = GameArguments();
  if (!platform::FileExists(GameExeName)) {
    platform::ShowErrorMessage("Coloque o launcher na pasta do jogo e tente novamente", GameExeName);
  } else {
    platform::RunCommandLine(platform::ToAnsi(std::string(GameExeName) + " " + arguments));
  }
  end_launcher();
}
