#include "ui/artwork.h"

#include <windows.h>

#include "ui/resource_pictures.h"

namespace {
Picture Filled(int width, int height, uint32_t argb) {
  return Picture{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height, argb)};
}
}  // namespace

Picture BackgroundPicture() {
  Picture picture = LoadPngResource(GetModuleHandleW(nullptr), L"BACKGROUND");
  return picture.Empty() ? Filled(900, 506, 0xFF10182A) : picture;
}

Picture DesignLogoPicture() {
  Picture flag = LoadJpegResource(GetModuleHandleW(nullptr), L"FLAG_BR");
  return flag.Empty() ? Filled(35, 23, 0xFF009C3B) : flag;
}

Picture SliderPlaceholder() { return Filled(1125, 595, 0x80404040); }
