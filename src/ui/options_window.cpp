#include "ui/options_window.h"

#include <windowsx.h>

#include <algorithm>

#include "platform/win32/wide_text.h"
#include "settings/options_behaviour.h"
#include "ui/error_box.h"
#include "ui/options_window_layout.h"
#include "ui/resource_pictures.h"
#include "ui/style_painter.h"
#include "ui/visual_style.h"

using namespace options_window;

namespace {

// No WS_CLIPCHILDREN: group boxes are transparent and the window paints under them.
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr COLORREF kSilver = RGB(192, 192, 192);

const ControlSpec& SpecOf(int id) {
  for (const ControlSpec& spec : kControls) {
    if (spec.id == id) return spec;
  }
  return kControls[0];
}

// Controls sit in nested groups in the design; on screen they are children of the window.
POINT PlaceInWindow(const ControlSpec& spec) {
  POINT place{spec.left, spec.top};
  for (int parent = spec.parent_id; parent != 0; parent = SpecOf(parent).parent_id) {
    place.x += SpecOf(parent).left;
    place.y += SpecOf(parent).top;
  }
  return place;
}

// The design's right-hand column of resolutions is wider than the room beside it; a control
// stays inside its group's frame instead of being drawn over it.
constexpr int kGroupFrameInset = 3;

SIZE SizeInWindow(const ControlSpec& spec) {
  SIZE size{spec.width, spec.height};
  if (spec.parent_id != 0) {
    const ControlSpec& group = SpecOf(spec.parent_id);
    size.cx = std::min<LONG>(size.cx, group.width - kGroupFrameInset - spec.left);
    size.cy = std::min<LONG>(size.cy, group.height - kGroupFrameInset - spec.top);
  }
  return size;
}

constexpr int kResolutionButtons[] = {kRadioButton3, kRadioButton4, kRadioButton5, kRadioButton6, kRadioButton7,
                                      kRadioButton8, kRadioButton9, kRadioButton10, kRadioButton11};

bool IsResolutionButton(int id) { return id >= kRadioButton3 && id <= kRadioButton11; }

COLORREF TextColourOf(int id) {
  if (id == kRadioButton3) return RGB(255, 255, 255);
  if (id == kRadioButton9) return RGB(255, 128, 64);
  if (IsResolutionButton(id) || id == kCheckBox1 || id == kCheckBox2 || id == kRadioButton1 || id == kRadioButton2)
    return kSilver;
  return RGB(0, 0, 0);
}

const wchar_t* FlagResource(int id) {
  switch (id) {
    case kImage1: return L"FLAG_BR";
    case kImage2: return L"FLAG_ES";
    case kImage3: return L"FLAG_US";
  }
  return nullptr;
}

}  // namespace

TForm_Opcoes::TForm_Opcoes(HINSTANCE instance) : instance_(instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  window_class.lpszClassName = kClassName;
  RegisterClassExW(&window_class);
  auto font = [](int height) {
    return CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
  };
  group_font_.Reset(font(11));
  button_font_.Reset(font(12));
  white_.Reset(CreateSolidBrush(RGB(255, 255, 255)));
  edit_background_.Reset(CreateSolidBrush(RGB(234, 234, 234)));
  sound_background_.Reset(CreateSolidBrush(RGB(2, 7, 35)));
}

TForm_Opcoes::~TForm_Opcoes() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void TForm_Opcoes::Create(HWND owner) {
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  CreateWindowExW(kExStyle, kClassName, Widen(kCaption).c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                  frame.right - frame.left, frame.bottom - frame.top, owner, nullptr, instance_, this);
  RunGuarded(hwnd_, [this] { FillOptions(*this); });
}

void TForm_Opcoes::ShowInFront(HWND main_window) {
  if (!shown_before_) {
    RECT main, own;
    GetWindowRect(main_window, &main);
    GetWindowRect(hwnd_, &own);
    int left = main.left + ((main.right - main.left) - (own.right - own.left)) / 2;
    int top = main.top + ((main.bottom - main.top) - (own.bottom - own.top)) / 2;
    SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    shown_before_ = true;
  }
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  BringWindowToTop(hwnd_);
}

LRESULT CALLBACK TForm_Opcoes::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TForm_Opcoes*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TForm_Opcoes*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
  return self->HandleMessage(message, wparam, lparam);
}

LRESULT TForm_Opcoes::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      CreateControls();
      return 0;
    case WM_CLOSE:
      ShowWindow(hwnd_, SW_HIDE);  // the close button hides without saving
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(kBitBtn1, DC_HASDEFID);
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        OnCommand(kBitBtn1);  // Enter presses the default button
      } else if (HIWORD(wparam) == BN_CLICKED) {
        OnCommand(LOWORD(wparam));
      }
      return 0;
    case WM_CTLCOLOREDIT: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      SetBkColor(dc, RGB(234, 234, 234));
      return reinterpret_cast<LRESULT>(edit_background_.Get());
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      int id = GetDlgCtrlID(reinterpret_cast<HWND>(lparam));
      SetTextColor(dc, TextColourOf(id));
      bool dark = id == kCheckBox1 || id == kCheckBox2 || id == kRadioButton1 || id == kRadioButton2;
      if (CurrentVisualStyle().loaded) {
        // The style draws the whole window on its panel colour.
        SetBkColor(dc, CurrentVisualStyle().panel);
        if (!panel_.Valid()) panel_.Reset(CreateSolidBrush(CurrentVisualStyle().panel));
        return reinterpret_cast<LRESULT>(panel_.Get());
      }
      SetBkColor(dc, dark ? RGB(2, 7, 35) : RGB(255, 255, 255));
      return reinterpret_cast<LRESULT>(dark ? sound_background_.Get() : white_.Get());
    }
    case WM_ERASEBKGND:
      if (CurrentVisualStyle().loaded) {
        RECT client;
        GetClientRect(hwnd_, &client);
        ScopedBrush panel(CreateSolidBrush(CurrentVisualStyle().panel));
        FillRect(reinterpret_cast<HDC>(wparam), &client, panel.Get());
        return 1;
      }
      break;
    case WM_DESTROY:
      hwnd_ = nullptr;
      return 0;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void TForm_Opcoes::CreateControls() {
  for (const ControlSpec& spec : kControls) {
    POINT place = PlaceInWindow(spec);
    SIZE size = SizeInWindow(spec);
    auto id_menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id));
    std::wstring text = Widen(DesignText(spec.id));
    HWND control = nullptr;
    DWORD common = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    switch (spec.kind) {
      case ControlKind::GroupBox:
        control = CreateWindowExW(0, L"BUTTON", text.c_str(), common | BS_GROUPBOX, place.x, place.y, size.cx,
                                  size.cy, hwnd_, id_menu, instance_, nullptr);
        break;
      case ControlKind::Button:
        control = CreateWindowExW(0, L"BUTTON", text.c_str(), common | WS_TABSTOP | BS_DEFPUSHBUTTON, place.x, place.y,
                                  size.cx, size.cy, hwnd_, id_menu, instance_, nullptr);
        break;
      case ControlKind::Edit:
        control = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", text.c_str(), common | WS_TABSTOP | ES_AUTOHSCROLL,
                                  place.x, place.y, size.cx, size.cy, hwnd_, id_menu, instance_, nullptr);
        break;
      case ControlKind::RadioButton:
        control = CreateWindowExW(0, L"BUTTON", text.c_str(), common | WS_TABSTOP | BS_RADIOBUTTON, place.x, place.y,
                                  size.cx, size.cy, hwnd_, id_menu, instance_, nullptr);
        break;
      case ControlKind::CheckBox:
        control = CreateWindowExW(0, L"BUTTON", text.c_str(), common | WS_TABSTOP | BS_AUTOCHECKBOX, place.x, place.y,
                                  size.cx, size.cy, hwnd_, id_menu, instance_, nullptr);
        break;
      default: {
        auto flag = std::make_unique<PaintedControl>();
        flag->picture = LoadJpegResource(instance_, FlagResource(spec.id));
        ControlSpec placed = spec;
        placed.left = place.x;
        placed.top = place.y;
        control = CreatePaintedControl(hwnd_, placed, flag.get(), L"");
        flags_[spec.id] = std::move(flag);
        break;
      }
    }
    HFONT font = spec.kind == ControlKind::RadioButton || spec.kind == ControlKind::CheckBox ? button_font_.Get()
                                                                                             : group_font_.Get();
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    switch (spec.kind) {
      case ControlKind::GroupBox: ApplyStylePainter(control, StyledKind::GroupBox); break;
      case ControlKind::Button: ApplyStylePainter(control, StyledKind::PushButton); break;
      case ControlKind::RadioButton: ApplyStylePainter(control, StyledKind::RadioButton); break;
      case ControlKind::CheckBox: ApplyStylePainter(control, StyledKind::CheckBox); break;
      default: break;
    }
    controls_[spec.id] = control;
  }
  // A new child goes below its earlier siblings: put the groups under the controls they hold,
  // the outer group at the very bottom.
  for (int id : {kLanguageSelect, kANTLAG, kSOM, kResolucoes, kBG}) {
    SetWindowPos(Control(id), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  // The left column's buttons are wider than the gap to the right column: keep the right
  // column on top so its buttons are whole.
  for (int id : {kRadioButton4, kRadioButton6, kRadioButton7, kRadioButton9}) {
    SetWindowPos(Control(id), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void TForm_Opcoes::OnCommand(int id) {
  if (IsResolutionButton(id)) {
    SelectResolutionButton(id - kRadioButton3 + 3);
  } else if (id == kRadioButton1 || id == kRadioButton2) {
    OnAntLag(id);
  } else if (id == kBitBtn1) {
    RunGuarded(hwnd_, [this] { SaveOptions(*this); });
  } else if (id == kImage1 || id == kImage2 || id == kImage3) {
    Language language = id == kImage1 ? Language::Por : id == kImage2 ? Language::Spn : Language::Eng;
    RunGuarded(hwnd_, [this, language] { ChooseLanguage(*this, language); });
  }
}

void TForm_Opcoes::OnAntLag(int id) {
  if (Checked(id)) return;  // pressing the selected button again does nothing
  SetChecked(kRadioButton1, id == kRadioButton1);
  SetChecked(kRadioButton2, id == kRadioButton2);
  RunGuarded(hwnd_, id == kRadioButton1 ? AntLagOn : AntLagOff);
}

bool TForm_Opcoes::Checked(int id) const { return Button_GetCheck(Control(id)) == BST_CHECKED; }

void TForm_Opcoes::SetChecked(int id, bool checked) { Button_SetCheck(Control(id), checked ? BST_CHECKED : BST_UNCHECKED); }

std::string TForm_Opcoes::LoginText() const {
  HWND edit = Control(kEdit1);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

void TForm_Opcoes::SetLoginText(const std::string& text) { SetWindowTextW(Control(kEdit1), Widen(text).c_str()); }

int TForm_Opcoes::SelectedResolutionButton() const {
  for (int id : kResolutionButtons) {
    if (Checked(id)) return id - kRadioButton3 + 3;
  }
  return 0;
}

void TForm_Opcoes::SelectResolutionButton(int number) {
  for (int id : kResolutionButtons) SetChecked(id, id - kRadioButton3 + 3 == number);
}

bool TForm_Opcoes::MusicaChecked() const { return Checked(kCheckBox1); }
void TForm_Opcoes::SetMusicaChecked(bool checked) { SetChecked(kCheckBox1, checked); }
bool TForm_Opcoes::SomChecked() const { return Checked(kCheckBox2); }
void TForm_Opcoes::SetSomChecked(bool checked) { SetChecked(kCheckBox2, checked); }

void TForm_Opcoes::SetCaption(Caption which, const std::string& text) {
  int id = which == Caption::Resolucoes ? kResolucoes
           : which == Caption::SOM      ? kSOM
           : which == Caption::ANTLAG   ? kANTLAG
           : which == Caption::RadioButton1 ? kRadioButton1
                                            : kRadioButton2;
  SetWindowTextW(Control(id), Widen(text).c_str());
}

void TForm_Opcoes::Hide() { ShowWindow(hwnd_, SW_HIDE); }
