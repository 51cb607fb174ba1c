#pragma once
#include <windows.h>

#include <string>

#include "common/picture.h"
#include "ui/control_layout.h"

// The backdrop the painted controls sit on: the background picture and where the window's
// client area lies in it.
struct Backdrop {
  const Picture* picture = nullptr;
  int client_left_in_picture = 0;
  int client_top_in_picture = 0;
};

// A child window that paints itself over the background picture, so that it looks
// transparent without relying on sibling paint order: pictures, clickable areas and labels.
// Clicks are sent to the parent as WM_COMMAND / BN_CLICKED, like a button's; BM_CLICK works
// too, so a test driver clicks every kind of control the same way. Mouse presses, moves and
// releases of a control with forward_mouse set go to the parent as kMouseMessage.
struct PaintedControl {
  ControlKind kind = ControlKind::Picture;
  Backdrop backdrop;
  Picture picture;       // drawn at the top-left corner, clipped, or stretched
  bool stretch = false;
  bool forward_mouse = false;
  HCURSOR cursor = nullptr;
  HFONT font = nullptr;  // labels
  COLORREF text_color = RGB(255, 255, 255);
  bool pressed = false;
  // A part of the picture shown dimmed (empty when none): the background dims its painted
  // play button while the play area cannot be clicked.
  RECT dimmed{0, 0, 0, 0};
};

inline constexpr UINT kPaintedControlMouse = WM_APP + 10;  // wParam: original message, lParam: client point

inline constexpr const wchar_t* kPaintedControlClass = L"LauncherPaintedControl";

// Registers the window class once per process.
void RegisterPaintedControlClass(HINSTANCE instance);

// Creates the child; the control object must outlive the window.
HWND CreatePaintedControl(HWND parent, const ControlSpec& spec, PaintedControl* control,
                          const std::wstring& text);

// Sets a label's text and fits its width to it, keeping its left edge.
void SetLabelText(HWND label, const std::wstring& text);
