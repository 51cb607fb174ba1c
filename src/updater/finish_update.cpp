// The last hand-over of a pass.
#include "updater/files_thread.h"
#include "updater/updater_state.h"

// Runs on the window thread. A new launcher is started only when it was installed complete and
// verified (SelfUpdated); if it cannot be started, this launcher stays and the pass ends as
// any other, so the game can still be played.
void GFilesThread::FinishUpdate() {
  if (SelfUpdated && system_.run_command_line("Launcher.exe reload")) {
    system_.exit_process(0);
    return;
  }
  platform::RenameFile(system_.executable_path(), LauncherExeName);
  view_.SetDetailText(StatusText);
  view_.SetStatusText("Bom jogo!");
  view_.SetPlayVisible(true);
  platform::RemoveFile("update.update");
  platform::RemoveFile("MuError.log");
}
