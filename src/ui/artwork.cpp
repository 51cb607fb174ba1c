#include "ui/artwork.h"

namespace {
Picture Filled(int width, int height, uint32_t argb) {
  return Picture{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height, argb)};
}
}  // namespace

Picture BackgroundPicture() {
  Picture picture = Filled(900, 506, 0xFF10182A);
  for (int y = 0; y < picture.height; ++y) {
    uint32_t shade = static_cast<uint32_t>(16 + y * 40 / picture.height);
    for (int x = 0; x < picture.width; ++x) {
      picture.pixels[static_cast<size_t>(y) * picture.width + x] = 0xFF000000 | (shade << 16) | (shade << 8) | (shade * 2);
    }
  }
  return picture;
}

Picture DesignLogoPicture() { return Filled(35, 23, 0xFF009C3B); }

Picture SliderPlaceholder() { return Filled(1125, 595, 0x80404040); }
