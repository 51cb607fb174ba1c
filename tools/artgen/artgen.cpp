// Draws the launcher's artwork: the program icon, and writes it into the assets folder.
// Deterministic: the same program writes byte-identical files.
//   artgen OUTPUT_DIR
#include <cstdio>
#include <exception>
#include <string>

#include "canvas.h"

namespace {

Canvas Icon(int size) {
  double s = size;
  Canvas canvas(size, size, 0x00000000);
  canvas.FillRoundRect(s * 0.04, s * 0.04, s * 0.96, s * 0.96, s * 0.2, 0xFF0B1A3A);
  canvas.FillRing(s / 2, s / 2, s * 0.36, s * 0.42, 0xFF3E7BDB);
  canvas.FillPolygon({{s * 0.40, s * 0.30}, {s * 0.72, s * 0.50}, {s * 0.40, s * 0.70}}, 0xFFF2C14E);
  return canvas;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: artgen OUTPUT_DIR\n");
    return 2;
  }
  try {
    std::string dir = argv[1];
    WriteFile(dir + "/launcher.ico", EncodeIcon({Icon(16), Icon(24), Icon(32), Icon(48), Icon(64), Icon(256)}));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "artgen: %s\n", error.what());
    return 1;
  }
  return 0;
}
