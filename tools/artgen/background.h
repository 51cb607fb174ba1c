#pragma once
#include "canvas.h"

// The main window's 900 by 506 background: a night landscape with the painted buttons at the
// places of the window's clickable areas (in picture coordinates, the window's client area
// starts at 30, 9). Opaque, and free of the window's see-through key colour.
Canvas DrawBackground();
