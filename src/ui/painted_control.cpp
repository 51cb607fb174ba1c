#include "ui/painted_control.h"

#include <windowsx.h>

#include <algorithm>

#include "platform/win32/scoped_handle.h"

namespace {

PaintedControl* ControlOf(HWND hwnd) {
  return reinterpret_cast<PaintedControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

uint32_t Blend(uint32_t under, uint32_t over) {
  uint32_t alpha = over >> 24;
  if (alpha == 255) return over;
  if (alpha == 0) return under;
  uint32_t result = 0xFF000000;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t a = (under >> shift) & 0xFF;
    uint32_t b = (over >> shift) & 0xFF;
    result |= ((b * alpha + a * (255 - alpha) + 127) / 255) << shift;
  }
  return result;
}

// Fills the control's pixels: the backdrop under it, then its picture.
void Compose(const PaintedControl& control, HWND hwnd, uint32_t* pixels, int width, int height) {
  RECT rect;
  GetWindowRect(hwnd, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
  const Picture* backdrop = control.backdrop.picture;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint32_t pixel = 0xFF000000;
      if (backdrop) {
        int bx = rect.left + x + control.backdrop.client_left_in_picture;
        int by = rect.top + y + control.backdrop.client_top_in_picture;
        if (bx >= 0 && by >= 0 && bx < backdrop->width && by < backdrop->height) pixel = backdrop->At(bx, by);
      }
      pixels[y * width + x] = pixel;
    }
  }
  for (int y = std::max<int>(control.dimmed.top, 0); y < std::min<int>(control.dimmed.bottom, height); ++y) {
    for (int x = std::max<int>(control.dimmed.left, 0); x < std::min<int>(control.dimmed.right, width); ++x) {
      uint32_t& pixel = pixels[y * width + x];
      pixel = Blend(pixel, 0xA0101018);
    }
  }
  const Picture& picture = control.picture;
  if (picture.Empty()) return;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int px = control.stretch ? x * picture.width / width : x;
      int py = control.stretch ? y * picture.height / height : y;
      if (px >= picture.width || py >= picture.height) continue;
      pixels[y * width + x] = Blend(pixels[y * width + x], picture.At(px, py));
    }
  }
}

void Paint(HWND hwnd, PaintedControl& control) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  RECT client;
  GetClientRect(hwnd, &client);
  int width = client.right, height = client.bottom;
  if (width > 0 && height > 0) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    ScopedBitmap bitmap(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ScopedMemoryDc memory(CreateCompatibleDC(dc));
    if (bitmap && memory) {
      ScopedSelect select_bitmap(memory.Get(), bitmap.Get());
      Compose(control, hwnd, static_cast<uint32_t*>(bits), width, height);
      if (control.kind == ControlKind::Label) {
        wchar_t text[1024];
        int length = GetWindowTextW(hwnd, text, 1024);
        ScopedSelect select_font(memory.Get(), control.font);
        SetBkMode(memory.Get(), TRANSPARENT);
        SetTextColor(memory.Get(), control.text_color);
        TextOutW(memory.Get(), 0, 0, text, length);
      }
      BitBlt(dc, 0, 0, width, height, memory.Get(), 0, 0, SRCCOPY);
    }
  }
  EndPaint(hwnd, &paint);
}

void NotifyClick(HWND hwnd) {
  SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), BN_CLICKED),
               reinterpret_cast<LPARAM>(hwnd));
}

bool IsMouseButtonDown(UINT message) {
  return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
}
bool IsMouseButtonUp(UINT message) {
  return message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP;
}

LRESULT CALLBACK PaintedControlProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  PaintedControl* control = ControlOf(hwnd);
  if (!control) return DefWindowProcW(hwnd, message, wparam, lparam);

  if (control->forward_mouse && (IsMouseButtonDown(message) || IsMouseButtonUp(message) || message == WM_MOUSEMOVE)) {
    if (IsMouseButtonDown(message)) SetCapture(hwnd);
    if (IsMouseButtonUp(message)) ReleaseCapture();
    SendMessageW(GetParent(hwnd), kPaintedControlMouse, message, lparam);
    return 0;
  }
  switch (message) {
    case WM_PAINT:
      Paint(hwnd, *control);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT && control->cursor) {
        SetCursor(control->cursor);
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
      if (control->kind == ControlKind::Area) {
        control->pressed = true;
        SetCapture(hwnd);
        return 0;
      }
      break;
    case WM_LBUTTONUP:
      if (control->kind == ControlKind::Area && control->pressed) {
        control->pressed = false;
        ReleaseCapture();
        RECT client;
        GetClientRect(hwnd, &client);
        POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        if (PtInRect(&client, point)) NotifyClick(hwnd);
        return 0;
      }
      break;
    case BM_CLICK:
      if (control->kind == ControlKind::Area && IsWindowVisible(hwnd)) NotifyClick(hwnd);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_STATIC;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace

void RegisterPaintedControlClass(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = PaintedControlProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = kPaintedControlClass;
  RegisterClassExW(&window_class);
}

HWND CreatePaintedControl(HWND parent, const ControlSpec& spec, PaintedControl* control,
                          const std::wstring& text) {
  control->kind = spec.kind;
  control->cursor = LoadCursorW(nullptr, spec.cursor == CursorKind::Hand ? IDC_HAND : IDC_ARROW);
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (spec.visible ? WS_VISIBLE : 0);
  return CreateWindowExW(0, kPaintedControlClass, text.c_str(), style, spec.left, spec.top, spec.width,
                         spec.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)),
                         reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), control);
}

// The same text at its own size again is left alone: the worker hands the same status over
// several times for each file, and a repaint each time slows every hand-over on a slow display.
namespace {
bool ShowsAlready(HWND label, const std::wstring& text, SIZE size) {
  std::wstring shown(static_cast<size_t>(GetWindowTextLengthW(label)) + 1, L'\0');
  shown.resize(static_cast<size_t>(GetWindowTextW(label, shown.data(), static_cast<int>(shown.size()))));
  RECT client;
  GetClientRect(label, &client);
  return shown == text && client.right == size.cx && client.bottom == size.cy;
}
}  // namespace

void SetLabelText(HWND label, const std::wstring& text) {
  auto* control = ControlOf(label);
  HDC dc = GetDC(label);
  SIZE size{0, 0};
  {
    ScopedSelect select_font(dc, control ? control->font : nullptr);
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  }
  ReleaseDC(label, dc);
  if (ShowsAlready(label, text, size)) return;
  SetWindowTextW(label, text.c_str());
  RECT rect;
  GetWindowRect(label, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(label), reinterpret_cast<POINT*>(&rect), 2);
  // Repaint what the old text covered, then the label at its new width.
  RedrawWindow(GetParent(label), &rect, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
  SetWindowPos(label, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(label, nullptr, FALSE);
}
