#include "ui/main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <stdexcept>

#include "platform/win32/wide_text.h"
#include "ui/artwork.h"
#include "ui/error_box.h"
#include "ui/visual_style.h"
#include "ui/main_window_layout.h"
#include "ui/style_painter.h"

using namespace main_window;

namespace {

COLORREF KeyColour() {
  return RGB((kTransparentKeyRgb >> 16) & 0xFF, (kTransparentKeyRgb >> 8) & 0xFF, kTransparentKeyRgb & 0xFF);
}

// The application window carries the task bar button; minimising it takes all the launcher's
// windows off the screen and restoring it brings them back as they were.
LRESULT CALLBACK ApplicationWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_SIZE && wparam == SIZE_MINIMIZED) ShowOwnedPopups(hwnd, FALSE);
  if (message == WM_SIZE && wparam == SIZE_RESTORED) ShowOwnedPopups(hwnd, TRUE);
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

void RegisterWindowClasses(HINSTANCE instance, WNDPROC main_proc) {
  static bool registered = false;
  if (registered) return;
  registered = true;
  HICON icon = LoadIconW(instance, L"MAINICON");

  WNDCLASSEXW application{};
  application.cbSize = sizeof(application);
  application.lpfnWndProc = ApplicationWindowProc;
  application.hInstance = instance;
  application.hIcon = icon;
  application.lpszClassName = kApplicationClassName;
  RegisterClassExW(&application);

  WNDCLASSEXW main{};
  main.cbSize = sizeof(main);
  main.lpfnWndProc = main_proc;
  main.hInstance = instance;
  main.hIcon = icon;
  main.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  main.lpszClassName = kClassName;
  RegisterClassExW(&main);

  RegisterPaintedControlClass(instance);
}

std::wstring DefaultApplicationTitle() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, length);
  name = name.substr(name.find_last_of(L"\\/") + 1);
  return name.substr(0, name.find_last_of(L'.'));
}

}  // namespace

TForm_AutoUpdate::TForm_AutoUpdate(HINSTANCE instance) : instance_(instance), window_thread_(GetCurrentThreadId()) {
  RegisterWindowClasses(instance, WindowProc);
  background_ = BackgroundPicture();
  font_.Reset(CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));
}

TForm_AutoUpdate::~TForm_AutoUpdate() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void TForm_AutoUpdate::Create(Handlers handlers) {
  handlers_ = std::move(handlers);
  application_.Reset(CreateWindowExW(0, kApplicationClassName, DefaultApplicationTitle().c_str(),
                                     WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0, nullptr,
                                     nullptr, instance_, nullptr));
  CreateWindowExW(WS_EX_LAYERED, kClassName, Widen(kDesignCaption).c_str(),
                  WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, kClientWidth, kClientHeight,
                  application_.Get(), nullptr, instance_, this);
}

void TForm_AutoUpdate::Show() {
  int left = (GetSystemMetrics(SM_CXSCREEN) - kClientWidth) / 2;
  int top = (GetSystemMetrics(SM_CYSCREEN) - kClientHeight) / 2;
  SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(application_.Get(), SW_SHOWNORMAL);
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  if (handlers_.form_show) RunGuarded(hwnd_, handlers_.form_show);
}

HWND TForm_AutoUpdate::Control(int id) const {
  auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

LRESULT CALLBACK TForm_AutoUpdate::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TForm_AutoUpdate*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TForm_AutoUpdate*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
  return self->HandleMessage(message, wparam, lparam);
}

LRESULT TForm_AutoUpdate::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      SetLayeredWindowAttributes(hwnd_, KeyColour(), 255, LWA_COLORKEY);
      CreateControls();
      if (handlers_.form_create) RunGuarded(hwnd_, handlers_.form_create);
      return 0;
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(hwnd_, &client);
      ScopedBrush brush(CreateSolidBrush(KeyColour()));
      FillRect(reinterpret_cast<HDC>(wparam), &client, brush.Get());
      return 1;
    }
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED) OnCommand(LOWORD(wparam));
      return 0;
    case kPaintedControlMouse:
      OnBackgroundMouse(static_cast<UINT>(wparam), lparam);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // The window-mode box: white text on the panel the artwork paints behind it.
      HDC dc = reinterpret_cast<HDC>(wparam);
      SetTextColor(dc, RGB(255, 255, 255));
      SetBkColor(dc, CurrentVisualStyle().panel);
      if (!panel_brush_) panel_brush_.Reset(CreateSolidBrush(CurrentVisualStyle().panel));
      return reinterpret_cast<LRESULT>(panel_brush_.Get());
    }
    case WM_DESTROY:
      hwnd_ = nullptr;
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void TForm_AutoUpdate::CreateControls() {
  Backdrop backdrop{&background_, 30, 9};
  for (const ControlSpec& spec : kControls) {
    HWND control = nullptr;
    auto id_menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id));
    DWORD visible = spec.visible ? WS_VISIBLE : 0;
    switch (spec.kind) {
      case ControlKind::CheckBox:
        control = CreateWindowExW(WS_EX_RTLREADING, L"BUTTON", L"",
                                  WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_AUTOCHECKBOX | visible, spec.left,
                                  spec.top, spec.width, spec.height, hwnd_, id_menu, instance_, nullptr);
        break;
      case ControlKind::ProgressBar:
        control = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_CLIPSIBLINGS | PBS_SMOOTH | visible,
                                  spec.left, spec.top, spec.width, spec.height, hwnd_, id_menu, instance_, nullptr);
        break;
      default: {
        auto painted = std::make_unique<PaintedControl>();
        painted->backdrop = backdrop;
        painted->font = font_.Get();
        if (spec.id == kBG) painted->forward_mouse = true;
        if (spec.id == kServerLogo) painted->picture = DesignLogoPicture();
        if (spec.id == kImageSlider) {
          painted->picture = SliderPlaceholder();
          painted->stretch = true;
        }
        std::wstring text = spec.id == kLbl0 ? L"Aguarde..." : spec.id == kLbl1 ? L"lbl1" : L"";
        control = CreatePaintedControl(hwnd_, spec, painted.get(), text);
        painted_[spec.id] = std::move(painted);
        if (spec.kind == ControlKind::Label) SetLabelText(control, text);
        break;
      }
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    if (spec.kind == ControlKind::CheckBox) ApplyStylePainter(control, StyledKind::CheckBox);
    if (spec.kind == ControlKind::ProgressBar) ApplyStylePainter(control, StyledKind::ProgressBar);
    controls_[spec.id] = control;
  }
  StackControls();
  ApplyBar(kProgressBar1, file_bar_);
  ApplyBar(kProgressBar2, total_bar_);
}

// A new child window goes below its earlier siblings. Restack them: pictures and labels in
// design order, each over the one before, then the bars and the check box above them all, the
// check box on top so that it comes first in the tab order.
void TForm_AutoUpdate::StackControls() {
  auto raise = [this](int id) {
    SetWindowPos(Control(id), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  };
  for (const ControlSpec& spec : kControls) {
    if (spec.kind != ControlKind::CheckBox && spec.kind != ControlKind::ProgressBar) raise(spec.id);
  }
  raise(kProgressBar2);
  raise(kProgressBar1);
  raise(kCheckBox1);
}

void TForm_AutoUpdate::OnCommand(int id) {
  switch (id) {
    case kConfiguracao:
      if (handlers_.configuracao_click) RunGuarded(hwnd_, handlers_.configuracao_click);
      break;
    case kMinimizer:
      ShowWindow(application_.Get(), SW_MINIMIZE);
      break;
    case kCloseBtn:
      ExitProcess(0);
    case kJogar:
      if (handlers_.jogar_click) RunGuarded(hwnd_, handlers_.jogar_click);
      break;
  }
}

void TForm_AutoUpdate::OnBackgroundMouse(UINT message, LPARAM point) {
  int x = GET_X_LPARAM(point), y = GET_Y_LPARAM(point);
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      BGMouseDown(x, y);
      break;
    case WM_MOUSEMOVE:
      BGMouseMove(x, y);
      break;
    default:
      BGMouseUp();
  }
}

void TForm_AutoUpdate::BGMouseDown(int x, int y) {
  Draging = true;
  X0 = x;
  Y0 = y;
}

// The picture moves with the window, so the point grabbed stays under the mouse.
void TForm_AutoUpdate::BGMouseMove(int x, int y) {
  if (!Draging) return;
  RECT rect;
  GetWindowRect(hwnd_, &rect);
  SetWindowPos(hwnd_, nullptr, rect.left + (x - X0), rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(hwnd_, nullptr, rect.left + (x - X0), rect.top + (y - Y0), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm_AutoUpdate::BGMouseUp() { Draging = false; }

void TForm_AutoUpdate::RequireWindowThread(const char* operation) const {
  if (GetCurrentThreadId() != window_thread_) {
    throw std::logic_error(std::string(operation) + " called off the window thread");
  }
}

void TForm_AutoUpdate::ApplyBar(int id, const ProgressBarState& bar) {
  HWND control = Control(id);
  SendMessageW(control, PBM_SETRANGE32, static_cast<WPARAM>(bar.Min()), static_cast<LPARAM>(bar.Max()));
  SendMessageW(control, PBM_SETPOS, static_cast<WPARAM>(bar.Position()), 0);
}

void TForm_AutoUpdate::SetPicture(int id, const Picture& picture) {
  painted_.at(id)->picture = picture;
  InvalidateRect(Control(id), nullptr, FALSE);
}

void TForm_AutoUpdate::SetStatusText(const std::string& text) {
  RequireWindowThread("SetStatusText");
  SetLabelText(Control(kLbl0), Widen(text));
}

void TForm_AutoUpdate::SetDetailText(const std::string& text) {
  RequireWindowThread("SetDetailText");
  SetLabelText(Control(kLbl1), Widen(text));
}

void TForm_AutoUpdate::SetDetailVisible(bool visible) {
  RequireWindowThread("SetDetailVisible");
  ShowWindow(Control(kLbl1), visible ? SW_SHOWNA : SW_HIDE);
}

void TForm_AutoUpdate::SetFileProgress(int32_t position) {
  RequireWindowThread("SetFileProgress");
  file_bar_.SetPosition(position);
  ApplyBar(kProgressBar1, file_bar_);
}

void TForm_AutoUpdate::SetFileProgressMax(int32_t max) {
  RequireWindowThread("SetFileProgressMax");
  file_bar_.SetMax(max);
  ApplyBar(kProgressBar1, file_bar_);
}

void TForm_AutoUpdate::SetTotalProgress(int32_t position) {
  RequireWindowThread("SetTotalProgress");
  total_bar_.SetPosition(position);
  ApplyBar(kProgressBar2, total_bar_);
}

void TForm_AutoUpdate::SetTotalProgressMax(int32_t max) {
  RequireWindowThread("SetTotalProgressMax");
  total_bar_.SetMax(max);
  ApplyBar(kProgressBar2, total_bar_);
}

void TForm_AutoUpdate::SetPlayVisible(bool visible) {
  RequireWindowThread("SetPlayVisible");
  ShowWindow(Control(kJogar), visible ? SW_SHOWNA : SW_HIDE);
  // The play button is painted on the background: show it dimmed while it cannot be clicked.
  const ControlSpec& play = SpecOf(kJogar);
  const ControlSpec& background = SpecOf(kBG);
  RECT dimmed{play.left - background.left, play.top - background.top, play.left - background.left + play.width,
              play.top - background.top + play.height};
  painted_.at(kBG)->dimmed = visible ? RECT{0, 0, 0, 0} : dimmed;
  RECT area{play.left, play.top, play.left + play.width, play.top + play.height};
  RedrawWindow(hwnd_, &area, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void TForm_AutoUpdate::SetServerLogo(const Picture& picture) {
  RequireWindowThread("SetServerLogo");
  SetPicture(kServerLogo, picture);
}

void TForm_AutoUpdate::SetSlideImage(const Picture& picture) {
  RequireWindowThread("SetSlideImage");
  SetPicture(kImageSlider, picture);
}

void TForm_AutoUpdate::SetWindowCaption(const std::string& caption) {
  RequireWindowThread("SetWindowCaption");
  SetWindowTextW(hwnd_, Widen(caption).c_str());
}

void TForm_AutoUpdate::SetApplicationTitle(const std::string& title) {
  RequireWindowThread("SetApplicationTitle");
  SetWindowTextW(application_.Get(), Widen(title).c_str());
}

void TForm_AutoUpdate::SetWindowModeCaption(const std::string& caption) {
  RequireWindowThread("SetWindowModeCaption");
  SetWindowTextW(Control(kCheckBox1), Widen(caption).c_str());
}

void TForm_AutoUpdate::SetWindowModeChecked(bool checked) {
  RequireWindowThread("SetWindowModeChecked");
  Button_SetCheck(Control(kCheckBox1), checked ? BST_CHECKED : BST_UNCHECKED);
}
