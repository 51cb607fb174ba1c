#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A decoded picture: rows from the top, each pixel 0xAARRGGBB (straight, not premultiplied
// alpha). This is what the logo and slide decoders produce and what the view shows.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  bool Empty() const { return width <= 0 || height <= 0; }
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  bool operator==(const Picture&) const = default;
};
