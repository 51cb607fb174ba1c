#pragma once
#include <windows.h>

#include <array>
#include <functional>
#include <map>
#include <memory>

#include "common/launcher_view.h"
#include "common/progress_bar_state.h"
#include "platform/win32/scoped_handle.h"
#include "ui/painted_control.h"

// The launcher's main window, `Form_AutoUpdate`: a frameless picture window of fixed size whose
// controls are laid out by main_window::kControls. It implements the view operations on its
// real child controls. An application window, hidden behind it, carries the application title
// and the task bar button, as the main window is owned by it.
class TForm_AutoUpdate : public LauncherView {
 public:
  struct Handlers {
    std::function<void()> form_create;
    std::function<void()> form_show;
    std::function<void()> configuracao_click;
    std::function<void()> jogar_click;
  };

  explicit TForm_AutoUpdate(HINSTANCE instance);
  ~TForm_AutoUpdate() override;
  TForm_AutoUpdate(const TForm_AutoUpdate&) = delete;
  TForm_AutoUpdate& operator=(const TForm_AutoUpdate&) = delete;

  // Creates the windows and runs form_create while the main window is being created.
  void Create(Handlers handlers);
  // Makes the window visible for the first time (centred on the screen) and runs form_show.
  void Show();

  HWND Handle() const { return hwnd_; }
  HWND ApplicationHandle() const { return application_.Get(); }
  HWND Control(int id) const;

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
  struct WindowTraits {
    using Handle = HWND;
    static bool IsValid(HWND h) { return h != nullptr; }
    static void Close(HWND h) { DestroyWindow(h); }
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls();
  void StackControls();
  void OnBackgroundMouse(UINT message, LPARAM point);
  void BGMouseDown(int x, int y);
  void BGMouseMove(int x, int y);
  void BGMouseUp();
  void OnCommand(int id);
  void ApplyBar(int id, const ProgressBarState& bar);
  void SetPicture(int id, const Picture& picture);
  void RequireWindowThread(const char* operation) const;

  HINSTANCE instance_;
  DWORD window_thread_ = 0;
  Handlers handlers_;
  ScopedHandle<WindowTraits> application_;
  HWND hwnd_ = nullptr;
  Picture background_;
  ScopedFont font_;
  ScopedBrush panel_brush_;
  std::map<int, HWND> controls_;
  std::map<int, std::unique_ptr<PaintedControl>> painted_;
  ProgressBarState file_bar_;
  ProgressBarState total_bar_;
  // Dragging by the background: true from a press on it until the release, and the press's
  // place within the background picture.
  bool Draging = false;
  int32_t X0 = 0;
  int32_t Y0 = 0;
};
