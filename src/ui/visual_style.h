#pragma once
#include <windows.h>

// The launcher's visual style, "Onyx Blue": the colours the program draws its controls with,
// carried as the resource "ONYXBLUE".
struct VisualStyle {
  COLORREF panel = RGB(14, 22, 44);         // behind check boxes and bars
  COLORREF frame = RGB(58, 92, 160);        // control borders
  COLORREF fill = RGB(40, 120, 220);         // bar fill, tick
  COLORREF fill_light = RGB(110, 180, 255); // the fill's highlight
  COLORREF text = RGB(230, 236, 248);       // labels
  bool loaded = false;
};

const VisualStyle& CurrentVisualStyle();

// Applies the style from the program's resource. When there is none, an error box says so
// and the windows keep their default appearance.
void ApplyVisualStyle(HINSTANCE instance);
