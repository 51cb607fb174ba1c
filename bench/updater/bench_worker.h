#pragma once
// The worker's installation stage as the benchmarks' child processes run it: no window, the
// hand-overs served by the thread that calls, as a window thread would.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "common/language.h"
#include "common/launcher_view.h"
#include "support/test_window_thread.h"
#include "updater/files_thread.h"
#include "updater/updater_texts.h"

namespace bench {

// A view that shows nothing but keeps the last detail line, which tells how the stage ended.
class NullView : public LauncherView {
 public:
  void SetStatusText(const std::string&) override {}
  void SetDetailText(const std::string& text) override { detail = text; }
  void SetDetailVisible(bool) override {}
  void SetFileProgress(int32_t) override {}
  void SetFileProgressMax(int32_t) override {}
  void SetTotalProgress(int32_t) override {}
  void SetTotalProgressMax(int32_t) override {}
  void SetPlayVisible(bool) override {}
  void SetServerLogo(const Picture&) override {}
  void SetSlideImage(const Picture&) override {}
  void SetWindowCaption(const std::string&) override {}
  void SetApplicationTitle(const std::string&) override {}
  void SetWindowModeCaption(const std::string&) override {}
  void SetWindowModeChecked(bool) override {}
  std::string detail;
};

// Installs the list entries from the update location (ending with "/") into the game folder,
// which becomes the working directory. 0 when the stage ended with every entry installed.
inline int InstallEntries(const std::string& url, const std::string& game_folder, std::vector<std::string> entries,
                          UpdaterSystem system = {}) {
  std::filesystem::current_path(game_folder);
  SetCurrentLanguage(Language::Eng);
  NullView view;
  TestWindowThread window;
  GFilesThread worker(view, window, std::move(system));
  worker.Dir = game_folder + "\\";
  worker.UUrl = url;
  worker.FilesToGet = std::move(entries);
  window.RunWorker([&] { worker.InstallFiles(); });
  return view.detail == updater_texts::FinishedClean().english ? 0 : 1;
}

// Checks the list's lines against the game folder, which becomes the working directory, and
// installs what is outdated, as a pass does once its list is taken: the check stage's CRCs are
// where deltas start. 0 when every outdated entry was installed.
inline int CheckAndInstall(const std::string& url, const std::string& game_folder,
                           const std::vector<std::string>& lines, UpdaterSystem system = {}) {
  std::filesystem::current_path(game_folder);
  SetCurrentLanguage(Language::Eng);
  NullView view;
  TestWindowThread window;
  system.pause = [](uint32_t) {};
  // The game's own launcher is the running one: a new Launcher.exe takes its place there.
  system.executable_path = [game_folder] { return game_folder + "/Launcher.exe"; };
  GFilesThread worker(view, window, std::move(system));
  worker.Dir = game_folder + "\\";
  worker.UUrl = url;
  window.RunWorker([&] {
    worker.CheckFiles(lines);
    worker.InstallFiles();
  });
  return view.detail == updater_texts::FinishedClean().english ? 0 : 1;
}

}  // namespace bench
