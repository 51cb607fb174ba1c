#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A small RGBA canvas for the launcher's generated artwork: shapes are filled by a coverage
// test on a 4x4 grid per pixel, so edges are smooth and the output is the same on every run.
class Canvas {
 public:
  Canvas(int width, int height, uint32_t argb = 0xFF000000);

  int Width() const { return width_; }
  int Height() const { return height_; }
  uint32_t At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  const std::vector<uint32_t>& Pixels() const { return pixels_; }

  // Blends argb over every pixel whose area is inside the shape (inside(x, y) in pixel units).
  void FillShape(const std::function<bool(double, double)>& inside, uint32_t argb);
  // Sets every pixel to color(x, y).
  void Paint(const std::function<uint32_t(int, int)>& color);

  void FillRect(double left, double top, double right, double bottom, uint32_t argb);
  void FillRoundRect(double left, double top, double right, double bottom, double radius, uint32_t argb);
  void FillCircle(double cx, double cy, double radius, uint32_t argb);
  void FillRing(double cx, double cy, double inner, double outer, uint32_t argb);
  void FillPolygon(const std::vector<std::pair<double, double>>& points, uint32_t argb);
  void StrokeLine(double x0, double y0, double x1, double y1, double width, uint32_t argb);

 private:
  void BlendPixel(int x, int y, uint32_t argb, double coverage);

  int width_;
  int height_;
  std::vector<uint32_t> pixels_;
};

uint32_t Mix(uint32_t a, uint32_t b, double t);

// PNG (8 bits per channel, with alpha) in memory.
std::vector<unsigned char> EncodePng(const Canvas& canvas);
// JPEG of the canvas's colours, quality 95.
std::vector<unsigned char> EncodeJpeg(const Canvas& canvas);
// An icon file whose images are PNG-compressed, one per canvas.
std::vector<unsigned char> EncodeIcon(const std::vector<Canvas>& sizes);
void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes);
