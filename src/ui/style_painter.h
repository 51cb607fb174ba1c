#pragma once
#include <windows.h>

// Draws standard controls in the launcher's visual style, so they look the same on every
// Windows version and under Wine. The controls keep their own behaviour and messages (a test
// driver still reads PBM_GETPOS or BM_GETCHECK); only their painting is replaced.
enum class StyledKind { CheckBox, RadioButton, ProgressBar, GroupBox, PushButton };

void ApplyStylePainter(HWND control, StyledKind kind);
