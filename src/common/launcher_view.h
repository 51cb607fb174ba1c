#pragma once
#include <cstdint>
#include <string>

#include "common/picture.h"

// Everything the launcher's logic may change on the main window. Texts are UTF-8.
// Contract: every operation runs on the window thread; the update worker reaches them only
// through a hand-over. No operation fails or returns anything.
class LauncherView {
 public:
  virtual ~LauncherView() = default;

  virtual void SetStatusText(const std::string& text) = 0;
  // Changes the text also while the detail text is hidden.
  virtual void SetDetailText(const std::string& text) = 0;
  virtual void SetDetailVisible(bool visible) = 0;
  virtual void SetFileProgress(int32_t position) = 0;
  virtual void SetFileProgressMax(int32_t max) = 0;
  virtual void SetTotalProgress(int32_t position) = 0;
  virtual void SetTotalProgressMax(int32_t max) = 0;
  // While hidden, the play control cannot be clicked.
  virtual void SetPlayVisible(bool visible) = 0;
  // The view keeps its own copy of the picture.
  virtual void SetServerLogo(const Picture& picture) = 0;
  virtual void SetSlideImage(const Picture& picture) = 0;
  virtual void SetWindowCaption(const std::string& caption) = 0;
  // The text the task bar shows for the launcher, separate from the window caption.
  virtual void SetApplicationTitle(const std::string& title) = 0;
  virtual void SetWindowModeCaption(const std::string& caption) = 0;
  virtual void SetWindowModeChecked(bool checked) = 0;
};
