#pragma once
#include <windows.h>

#include "common/picture.h"

// Decodes a JPEG picture carried as an RCDATA resource of the program; an empty picture when
// the resource is missing or cannot be decoded.
Picture LoadJpegResource(HINSTANCE instance, const wchar_t* name);
// The same for a PNG picture.
Picture LoadPngResource(HINSTANCE instance, const wchar_t* name);
