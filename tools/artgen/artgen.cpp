// Draws the launcher's artwork (the program icon, the language flags) and writes it into the assets folder.
// Deterministic: the same program writes byte-identical files.
//   artgen OUTPUT_DIR
#include <cstdio>
#include <exception>
#include <string>

#include "background.h"
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

// The three language flags of the options window, 35 by 23.
Canvas FlagBrazil() {
  Canvas canvas(35, 23, 0xFF009C3B);
  canvas.FillPolygon({{17.5, 2.5}, {32.5, 11.5}, {17.5, 20.5}, {2.5, 11.5}}, 0xFFFFDF00);
  canvas.FillCircle(17.5, 11.5, 5.2, 0xFF002776);
  canvas.StrokeLine(12.6, 10.4, 22.4, 12.6, 1.0, 0xFFFFFFFF);
  return canvas;
}

Canvas FlagSpain() {
  Canvas canvas(35, 23, 0xFFAA151B);
  canvas.FillRect(0, 5.75, 35, 17.25, 0xFFF1BF00);
  canvas.FillRect(8, 9, 12, 14, 0xFFAD1519);
  return canvas;
}

Canvas FlagUnitedStates() {
  Canvas canvas(35, 23, 0xFFFFFFFF);
  for (int stripe = 0; stripe < 13; stripe += 2) canvas.FillRect(0, stripe * 23.0 / 13, 35, (stripe + 1) * 23.0 / 13, 0xFFB22234);
  canvas.FillRect(0, 0, 14, 23.0 * 7 / 13, 0xFF3C3B6E);
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 5; ++column) canvas.FillCircle(1.6 + column * 2.7 + (row % 2) * 1.35, 1.6 + row * 2.8, 0.55, 0xFFFFFFFF);
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
    WriteFile(dir + "/background.png", EncodePng(DrawBackground()));
    WriteFile(dir + "/flag_br.jpg", EncodeJpeg(FlagBrazil()));
    WriteFile(dir + "/flag_es.jpg", EncodeJpeg(FlagSpain()));
    WriteFile(dir + "/flag_us.jpg", EncodeJpeg(FlagUnitedStates()));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "artgen: %s\n", error.what());
    return 1;
  }
  return 0;
}
