#include "background.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace {

constexpr double kPi = 3.14159265358979323846;
// Client coordinates of the window's controls, shifted into the picture.
constexpr double kDx = 30, kDy = 9;

// A 5 by 7 pixel font for the few capitals the artwork writes.
const char* Glyph(char c) {
  switch (c) {
    case 'M': return "10001110111010110101100011000110001";
    case 'O': return "01110100011000110001100011000101110";
    case 'D': return "11110100011000110001100011000111110";
    case 'J': return "00111000100001000010000101001001100";
    case 'A': return "01110100011000111111100011000110001";
    case 'N': return "10001110011010110011100011000110001";
    case 'E': return "11111100001000011110100001000011111";
    case 'L': return "10000100001000010000100001000011111";
    case 'G': return "01110100011000010111100011000101111";
    case 'R': return "11110100011000111110101001001010001";
  }
  return nullptr;
}

void Write(Canvas& canvas, double left, double top, double scale, const std::string& text, uint32_t argb) {
  for (char c : text) {
    if (const char* glyph = Glyph(c)) {
      for (int row = 0; row < 7; ++row)
        for (int column = 0; column < 5; ++column)
          if (glyph[row * 5 + column] == '1')
            canvas.FillRect(left + column * scale, top + row * scale, left + (column + 1) * scale,
                            top + (row + 1) * scale, argb);
    }
    left += 6 * scale;
  }
}

// A small deterministic generator, so the stars fall in the same places on every run.
struct Random {
  uint32_t state = 20260101;
  double Next() {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) / 16777216.0;
  }
};

void Sky(Canvas& canvas) {
  canvas.Paint([](int, int y) {
    double t = y / 330.0;
    if (t < 0.6) return Mix(0xFF070B1C, 0xFF1F1A44, t / 0.6);
    return Mix(0xFF1F1A44, 0xFF6A3550, (t - 0.6) / 0.4);
  });
  Random random;
  for (int i = 0; i < 160; ++i) {
    double x = random.Next() * 900, y = random.Next() * 260, r = 0.4 + random.Next() * 0.9;
    canvas.FillCircle(x, y, r, Mix(0x40FFFFFF, 0xE0FFFFFF, random.Next()));
  }
  for (int ring = 6; ring >= 1; --ring) canvas.FillCircle(610, 120, 46 + ring * 9, 0x10D8E4FF);
  canvas.FillCircle(610, 120, 46, 0xFFEDE9D8);
  canvas.FillCircle(595, 108, 9, 0x30A09880);
  canvas.FillCircle(628, 135, 6, 0x30A09880);
}

void Ridge(Canvas& canvas, double base, double height, double wavelength, double phase, uint32_t argb) {
  canvas.FillShape(
      [=](double x, double y) {
        double top = base - height * (0.55 + 0.25 * std::sin(x / wavelength + phase) +
                                      0.2 * std::sin(x / (wavelength * 0.37) + phase * 2.1));
        return y >= top;
      },
      argb);
}

void Castle(Canvas& canvas) {
  const uint32_t stone = 0xFF0C0F22;
  canvas.FillRect(250, 210, 420, 330, stone);
  for (double x : {240.0, 300.0, 360.0, 410.0}) canvas.FillRect(x, 180, x + 22, 330, stone);
  canvas.FillRect(318, 140, 352, 330, stone);
  for (double x : {240.0, 300.0, 360.0, 410.0}) canvas.FillPolygon({{x - 4, 180}, {x + 11, 150}, {x + 26, 180}}, stone);
  canvas.FillPolygon({{312, 140}, {335, 96}, {358, 140}}, stone);
  for (double x = 250; x < 420; x += 12) canvas.FillRect(x, 203, x + 6, 211, stone);
  for (double x : {257.0, 284.0, 332.0, 380.0, 396.0}) canvas.FillRect(x, 240, x + 5, 252, 0xFFF2B850);
  canvas.FillRect(331, 165, 339, 178, 0xFFF2B850);
}

void Gear(Canvas& canvas, double cx, double cy) {
  const uint32_t metal = 0xFFD9E2F2;
  for (int tooth = 0; tooth < 8; ++tooth) {
    double a = tooth * kPi / 4;
    double c = std::cos(a), s = std::sin(a);
    auto at = [&](double along, double across) {
      return std::pair{cx + c * along - s * across, cy + s * along + c * across};
    };
    canvas.FillPolygon({at(6, -2.2), at(11, -2.0), at(11, 2.0), at(6, 2.2)}, metal);
  }
  canvas.FillRing(cx, cy, 3.2, 8.2, metal);
}

void TitleButtons(Canvas& canvas) {
  canvas.FillRoundRect(674 + kDx, 20 + kDy, 799 + kDx, 61 + kDy, 10, 0xC0101830);
  canvas.FillRoundRect(675 + kDx, 21 + kDy, 798 + kDx, 60 + kDy, 9, 0x60304A80);
  Gear(canvas, 680 + kDx + 12.5, 24 + kDy + 16.5);
  double mx = 720 + kDx + 16.5, my = 24 + kDy + 16.5;
  canvas.FillRoundRect(mx - 9, my - 1.8, mx + 9, my + 1.8, 1.5, 0xFFD9E2F2);
  double xx = 759 + kDx + 17, xy = 24 + kDy + 16.5;
  canvas.StrokeLine(xx - 8, xy - 8, xx + 8, xy + 8, 3.4, 0xFFFF8A7A);
  canvas.StrokeLine(xx - 8, xy + 8, xx + 8, xy - 8, 3.4, 0xFFFF8A7A);
}

void PlayButton(Canvas& canvas) {
  double left = 552 + kDx, top = 384 + kDy, right = left + 241, bottom = top + 87;
  canvas.FillRoundRect(left - 3, top - 3, right + 3, bottom + 3, 22, 0x90000000);
  canvas.FillRoundRect(left, top, right, bottom, 20, 0xFF8A4A0E);
  canvas.FillShape(
      [=](double x, double y) {
        double cx = std::clamp(x, left + 23, right - 23), cy = std::clamp(y, top + 23, bottom - 23);
        return x > left + 3 && x < right - 3 && y > top + 3 && y < bottom - 3 &&
               (x - cx) * (x - cx) + (y - cy) * (y - cy) <= 17 * 17;
      },
      0xFFF0A22E);
  canvas.FillRoundRect(left + 8, top + 6, right - 8, top + 36, 14, 0x40FFFFFF);
  canvas.FillCircle(left + 52, top + 43.5, 24, 0xFF6A340A);
  canvas.FillPolygon({{left + 44, top + 30}, {left + 66, top + 43.5}, {left + 44, top + 57}}, 0xFFFFF3D6);
  Write(canvas, left + 99, top + 31, 4, "JOGAR", 0xFF3A1C04);
  Write(canvas, left + 97, top + 29, 4, "JOGAR", 0xFFFFF3D6);
}

void StatusPanel(Canvas& canvas) {
  canvas.FillRoundRect(52 + kDx, 400 + kDy, 530 + kDx, 472 + kDy, 12, 0xD0080C1C);
  canvas.FillRoundRect(53 + kDx, 401 + kDy, 529 + kDx, 471 + kDy, 11, 0x40304A80);
  double bx = 66 + kDx, by = 409 + kDy;
  canvas.FillRect(bx, by, bx + 17, by + 17, 0xFFE8EEF8);
  canvas.FillRect(bx + 2, by + 2, bx + 15, by + 15, 0xFF101830);
  canvas.StrokeLine(bx + 4, by + 9, bx + 7.5, by + 12.5, 2.2, 0xFF6EB4FF);
  canvas.StrokeLine(bx + 7.5, by + 12.5, bx + 13, by + 4.5, 2.2, 0xFF6EB4FF);
  Write(canvas, bx + 24, by + 2, 2, "MODO JANELA", 0xFFE8EEF8);
  canvas.FillRect(64 + kDx, 429 + kDy, 513 + kDx, 446 + kDy, 0xFFFFFFFF);
}

// Pixels of exactly the key colour would be see-through: move them off it.
void AvoidKeyColour(Canvas& canvas, uint32_t key) {
  canvas.Paint([&](int x, int y) {
    uint32_t p = canvas.At(x, y) | 0xFF000000;
    return (p & 0xFFFFFF) == key ? p ^ 1 : p;
  });
}

}  // namespace

Canvas DrawBackground() {
  Canvas canvas(900, 506);
  Sky(canvas);
  Ridge(canvas, 330, 120, 70, 0.3, 0xFF1A1838);
  Castle(canvas);
  Ridge(canvas, 380, 90, 55, 1.7, 0xFF111430);
  Ridge(canvas, 470, 110, 90, 4.2, 0xFF090B1E);
  canvas.FillRect(0, 470, 900, 506, 0xFF06081A);
  TitleButtons(canvas);
  PlayButton(canvas);
  StatusPanel(canvas);
  AvoidKeyColour(canvas, 0xC0DCC0);
  return canvas;
}
