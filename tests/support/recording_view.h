#pragma once
#include <string>
#include <thread>
#include <vector>

#include "common/launcher_view.h"
#include "common/progress_bar_state.h"

// What the main window shows, element by element, with the design state it has when the
// window has just been created.
struct ViewState {
  std::string status_text = "Aguarde...";
  std::string detail_text = "lbl1";
  bool detail_visible = false;
  ProgressBarState file_bar;
  ProgressBarState total_bar;
  bool play_visible = true;
  Picture server_logo;  // empty: the design picture
  Picture slide_image;  // empty: the design placeholder
  std::string window_caption = "Launcher Brennmoor";
  std::string application_title;  // empty: the program's default title
  std::string window_mode_caption;
  bool window_mode_checked = false;
};

// A LauncherView for native tests: keeps what the window would show and a log of every call
// ("SetFileProgress(5)"), and fails the test when an operation runs off the window thread,
// which is the thread that created the view.
class RecordingView : public LauncherView {
 public:
  RecordingView();

  const ViewState& State() const { return state_; }
  const std::vector<std::string>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  // Calls whose text starts with the prefix, in order ("SetTotalProgress" also matches
  // "SetTotalProgressMax"; end the prefix with "(" for an exact operation).
  std::vector<std::string> CallsStartingWith(const std::string& prefix) const;

  void SetStatusText(const std::string& text) override;
  void SetDetailText(const std::string& text) override;
  void SetDetailVisible(bool visible) override;
  void SetFileProgress(int32_t position) override;
  void SetFileProgressMax(int32_t max) override;
  void SetTotalProgress(int32_t position) override;
  void SetTotalProgressMax(int32_t max) override;
  void SetPlayVisible(bool visible) override;
  void SetServerLogo(const Picture& picture) override;
  void SetSlideImage(const Picture& picture) override;
  void SetWindowCaption(const std::string& caption) override;
  void SetApplicationTitle(const std::string& title) override;
  void SetWindowModeCaption(const std::string& caption) override;
  void SetWindowModeChecked(bool checked) override;

 private:
  void Record(std::string call);

  std::thread::id window_thread_;
  ViewState state_;
  std::vector<std::string> calls_;
};
