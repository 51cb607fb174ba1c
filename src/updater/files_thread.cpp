// The worker's thread, its pass and the plain hand-overs.
#include "updater/files_thread.h"

#include <exception>

#include "common/language.h"
#include "common/scoped_removal.h"
#include "platform/folder_lock.h"
#include "update_list/list_file.h"
#include "updater/updater_state.h"
#include "updater/updater_texts.h"

GFilesThread::GFilesThread(LauncherView& view, WindowThread& window, UpdaterSystem system)
    : view_(view), window_(window), system_(std::move(system)) {}

GFilesThread::~GFilesThread() { WaitFor(); }

void GFilesThread::Start() {
  if (free_on_terminate_) {
    std::thread([this] {
      RunThread();
      delete this;
    }).detach();
  } else {
    thread_ = std::thread([this] { RunThread(); });
  }
}

void GFilesThread::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

// Execute handles its own failures; what still escapes means the window could not even be
// told, so only a debugger can hear of it.
void GFilesThread::RunThread() {
  try {
    Execute();
  } catch (const std::exception& error) {
    platform::DebugOutput(std::string("The update worker stopped: ") + error.what());
  } catch (...) {
    platform::DebugOutput("The update worker stopped");
  }
  finished_ = true;
}

void GFilesThread::Synchronize(void (GFilesThread::*handover)()) {
  window_.RunSynchronized([this, handover] { (this->*handover)(); });
}

// Whatever goes wrong between the connecting text and the end, the pass still finishes, so
// the play control is shown again and the game can be started.
void GFilesThread::Execute() {
  Dir = platform::WorkingDirectory() + "\\";
  FilesSize = 0;
  Synchronize(&GFilesThread::HidePlay);
  // Held to the end of the pass, the restart included: the process's end releases it.
  std::unique_ptr<platform::FolderLock> folder_lock = WaitForTheGameFolder();
  StatusText = PickText(updater_texts::Connecting());
  Synchronize(&GFilesThread::ShowStatus);
  if (!UUrl.ends_with('/')) UUrl += '/';
  try {
    if (folder_lock) RunPass();
  } catch (...) {
    StatusText = PickText(updater_texts::InstallFailed());
  }
  Synchronize(&GFilesThread::ShowStatus);
  Synchronize(&GFilesThread::FinishUpdate);
}

// Two launchers on one game folder would download into the same package and temporary names
// and clean up each other's files: a pass waits, showing the checking text, until every other
// pass over the folder has ended. Then its own check finds what the other installed. Nothing
// only when the pass was told to stop while it waited.
std::unique_ptr<platform::FolderLock> GFilesThread::WaitForTheGameFolder() {
  const std::string folder = Dir.substr(0, Dir.size() - 1);
  std::unique_ptr<platform::FolderLock> lock = platform::FolderLock::Take(folder, 0);
  if (lock) return lock;
  StatusText = PickText(updater_texts::Checking());
  Synchronize(&GFilesThread::ShowStatus);
  while (!(lock = platform::FolderLock::Take(folder, kFolderWaitSliceMs))) {
    if (Terminated()) return nullptr;
  }
  return lock;
}

void GFilesThread::RunPass() {
  const std::string list_path = Dir + ListFileName;
  if (!DownloadFile(UUrl + ListFileName, list_path, true)) {
    if (download_not_connected_) LogNotConnected(UUrl + ListFileName, *download_not_connected_);
    return;
  }
  StatusText.clear();
  Synchronize(&GFilesThread::ShowStatus);
  if (!platform::FileExists(list_path)) return;
  FilesToGet.clear();
  local_crcs_.clear();
  TListFile list(list_path);
  if (USelfParam == "FAIL") return;
  ScopedRemoval remove_list(list_path);
  if (!system_.trusted_keys.empty() && !AcceptSignedList(list_path)) return;
  CheckFiles(list.GetFSection("Download"));
  InstallFiles();
  FilesToGet.clear();
}

void GFilesThread::ShowStatus() { view_.SetStatusText(StatusText); }

void GFilesThread::HidePlay() { view_.SetPlayVisible(false); }

// The position goes first, so it is held within the bar's previous maximum.
void GFilesThread::SetBarRange() {
  const auto value = static_cast<int32_t>(LTemp);
  if (CSwitch == 0) {
    view_.SetFileProgress(value);
    view_.SetFileProgressMax(value);
  } else if (CSwitch == 1) {
    view_.SetTotalProgress(value);
    view_.SetTotalProgressMax(value);
  }
}

void GFilesThread::SetTotalPosition() { view_.SetTotalProgress(static_cast<int32_t>(LTemp)); }

void GFilesThread::SetFilePosition() { view_.SetFileProgress(static_cast<int32_t>(LTemp)); }

void GFilesThread::ClearDetail() { view_.SetDetailText(""); }

void GFilesThread::ShowFinalText() {
  view_.SetDetailVisible(true);
  view_.SetDetailText(StatusText);
}
