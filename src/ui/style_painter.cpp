#include "ui/style_painter.h"

#include <commctrl.h>

#include <string>

#include "platform/win32/scoped_handle.h"
#include "ui/visual_style.h"

namespace {

constexpr const wchar_t* kKindProperty = L"LauncherStyledKind";
constexpr const wchar_t* kProcProperty = L"LauncherStyledProc";

COLORREF Blend(COLORREF a, COLORREF b, int percent) {
  auto mix = [&](int x, int y) { return (x * (100 - percent) + y * percent) / 100; };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

void Fill(HDC dc, RECT rect, COLORREF colour) {
  ScopedBrush brush(CreateSolidBrush(colour));
  FillRect(dc, &rect, brush.Get());
}

void Frame(HDC dc, RECT rect, COLORREF colour) {
  ScopedBrush brush(CreateSolidBrush(colour));
  FrameRect(dc, &rect, brush.Get());
}

std::wstring TextOf(HWND hwnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The colours the parent asks for (WM_CTLCOLORSTATIC), as for an unstyled control.
COLORREF AskTextColour(HWND hwnd, HDC dc, COLORREF* background) {
  SetTextColor(dc, CurrentVisualStyle().text);
  SetBkColor(dc, *background);
  SendMessageW(GetParent(hwnd), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd));
  *background = GetBkColor(dc);
  return GetTextColor(dc);
}

void PaintProgressBar(HWND hwnd, HDC dc, RECT client) {
  const VisualStyle& style = CurrentVisualStyle();
  int low = static_cast<int>(SendMessageW(hwnd, PBM_GETRANGE, TRUE, 0));
  int high = static_cast<int>(SendMessageW(hwnd, PBM_GETRANGE, FALSE, 0));
  int position = static_cast<int>(SendMessageW(hwnd, PBM_GETPOS, 0, 0));
  Fill(dc, client, style.panel);
  Frame(dc, client, style.frame);
  if (high > low && position > low) {
    RECT bar = client;
    InflateRect(&bar, -2, -2);
    long long span = static_cast<long long>(high) - low;
    bar.right = bar.left + static_cast<LONG>((bar.right - bar.left) * (static_cast<long long>(position) - low) / span);
    RECT top = bar, bottom = bar;
    top.bottom = bar.top + (bar.bottom - bar.top) / 2;
    bottom.top = top.bottom;
    Fill(dc, top, style.fill_light);
    Fill(dc, bottom, style.fill);
  }
}

void PaintMark(HDC dc, RECT box, bool round, bool checked) {
  const VisualStyle& style = CurrentVisualStyle();
  ScopedBrush fill(CreateSolidBrush(style.panel));
  ScopedHandle<GdiObjectTraits<HPEN>> pen(CreatePen(PS_SOLID, 1, style.frame));
  ScopedSelect select_pen(dc, pen.Get());
  ScopedSelect select_brush(dc, fill.Get());
  if (round) Ellipse(dc, box.left, box.top, box.right, box.bottom);
  else Rectangle(dc, box.left, box.top, box.right, box.bottom);
  if (!checked) return;
  ScopedBrush mark(CreateSolidBrush(style.fill_light));
  ScopedHandle<GdiObjectTraits<HPEN>> mark_pen(CreatePen(PS_SOLID, 2, style.fill_light));
  ScopedSelect select_mark_pen(dc, mark_pen.Get());
  ScopedSelect select_mark(dc, mark.Get());
  if (round) {
    Ellipse(dc, box.left + 3, box.top + 3, box.right - 3, box.bottom - 3);
  } else {
    POINT tick[] = {{box.left + 3, box.top + 6}, {box.left + 5, box.bottom - 4}, {box.right - 3, box.top + 3}};
    Polyline(dc, tick, 3);
  }
}

void PaintButtonLike(HWND hwnd, HDC dc, RECT client, StyledKind kind) {
  COLORREF background = CurrentVisualStyle().panel;
  COLORREF text_colour = AskTextColour(hwnd, dc, &background);
  Fill(dc, client, background);
  int box = 13;
  RECT mark{client.left, client.top + (client.bottom - client.top - box) / 2, 0, 0};
  bool right_to_left = GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_RTLREADING;
  if (right_to_left && client.right - client.left < 2 * box) mark.left = client.right - box;  // only the box shows
  mark.right = mark.left + box;
  mark.bottom = mark.top + box;
  bool checked = SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
  PaintMark(dc, mark, kind == StyledKind::RadioButton, checked);
  std::wstring text = TextOf(hwnd);
  RECT label = client;
  label.left = mark.right + 4;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, text_colour);
  auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
  ScopedSelect select_font(dc, font);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &label, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void PaintGroupBox(HWND hwnd, HDC dc, RECT client) {
  const VisualStyle& style = CurrentVisualStyle();
  auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
  ScopedSelect select_font(dc, font);
  std::wstring text = TextOf(hwnd);
  SIZE size{0, 0};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  RECT frame = client;
  frame.top += size.cy / 2;
  Fill(dc, client, style.panel);
  Frame(dc, frame, style.frame);
  if (!text.empty()) {
    RECT caption{client.left + 8, client.top, client.left + 12 + size.cx, client.top + size.cy};
    Fill(dc, caption, style.panel);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, style.text);
    caption.left += 2;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &caption, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  }
}

void PaintPushButton(HWND hwnd, HDC dc, RECT client) {
  const VisualStyle& style = CurrentVisualStyle();
  bool pressed = SendMessageW(hwnd, BM_GETSTATE, 0, 0) & BST_PUSHED;
  Fill(dc, client, pressed ? style.fill : Blend(style.panel, style.fill, 35));
  Frame(dc, client, style.fill_light);
  std::wstring text = TextOf(hwnd);
  auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
  ScopedSelect select_font(dc, font);
  SIZE size{0, 0};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  // The check-mark glyph of an OK button, then its caption.
  int left = (client.right - client.left - (size.cx + 16)) / 2, middle = (client.bottom - client.top) / 2;
  ScopedHandle<GdiObjectTraits<HPEN>> pen(CreatePen(PS_SOLID, 2, RGB(80, 220, 120)));
  ScopedSelect select_pen(dc, pen.Get());
  POINT tick[] = {{left, middle}, {left + 4, middle + 4}, {left + 11, middle - 4}};
  Polyline(dc, tick, 3);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, style.text);
  RECT label = client;
  label.left = left + 16;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &label, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void Paint(HWND hwnd, StyledKind kind) {
  PAINTSTRUCT paint;
  HDC screen = BeginPaint(hwnd, &paint);
  RECT client;
  GetClientRect(hwnd, &client);
  ScopedMemoryDc dc(CreateCompatibleDC(screen));
  ScopedBitmap bitmap(CreateCompatibleBitmap(screen, client.right, client.bottom));
  {
    ScopedSelect select(dc.Get(), bitmap.Get());
    switch (kind) {
      case StyledKind::ProgressBar: PaintProgressBar(hwnd, dc.Get(), client); break;
      case StyledKind::GroupBox: PaintGroupBox(hwnd, dc.Get(), client); break;
      case StyledKind::PushButton: PaintPushButton(hwnd, dc.Get(), client); break;
      default: PaintButtonLike(hwnd, dc.Get(), client, kind);
    }
    BitBlt(screen, 0, 0, client.right, client.bottom, dc.Get(), 0, 0, SRCCOPY);
  }
  EndPaint(hwnd, &paint);
}

LRESULT CALLBACK StyledProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto original = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kProcProperty));
  auto kind = static_cast<StyledKind>(reinterpret_cast<INT_PTR>(GetPropW(hwnd, kKindProperty)) - 1);
  switch (message) {
    case WM_PAINT:
      Paint(hwnd, kind);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
      RemovePropW(hwnd, kProcProperty);
      RemovePropW(hwnd, kKindProperty);
      break;
  }
  LRESULT result = CallWindowProcW(original, hwnd, message, wparam, lparam);
  // The standard controls paint their new state at once on these; paint over it in the style.
  if (message == PBM_SETPOS || message == PBM_SETRANGE32 || message == BM_SETCHECK || message == BM_SETSTATE ||
      message == WM_SETTEXT || message == WM_ENABLE || message == WM_LBUTTONUP || message == WM_LBUTTONDOWN ||
      message == WM_KEYUP || message == BM_CLICK) {
    InvalidateRect(hwnd, nullptr, FALSE);
  }
  return result;
}

}  // namespace

void ApplyStylePainter(HWND control, StyledKind kind) {
  if (!CurrentVisualStyle().loaded) return;  // no style: the default appearance
  SetPropW(control, kKindProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(kind) + 1));
  SetPropW(control, kProcProperty,
           reinterpret_cast<HANDLE>(SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StyledProc))));
}
