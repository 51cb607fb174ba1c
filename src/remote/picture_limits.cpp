#include <string>

#include "remote/picture_decoders.h"

void CheckPictureSize(uint32_t width, uint32_t height) {
  if (width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
      uint64_t{width} * height > kMaxPicturePixels)
    throw PictureError("Picture size " + std::to_string(width) + "x" + std::to_string(height) + " not supported");
}
