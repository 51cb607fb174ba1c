#include "canvas.h"

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>

Canvas::Canvas(int width, int height, uint32_t argb)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, argb) {}

uint32_t Mix(uint32_t a, uint32_t b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    out |= static_cast<uint32_t>(std::lround(ca + (cb - ca) * t)) << shift;
  }
  return out;
}

void Canvas::BlendPixel(int x, int y, uint32_t argb, double coverage) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_ || coverage <= 0) return;
  double alpha = ((argb >> 24) & 0xFF) / 255.0 * coverage;
  uint32_t& under = pixels_[static_cast<size_t>(y) * width_ + x];
  double under_alpha = ((under >> 24) & 0xFF) / 255.0;
  double out_alpha = alpha + under_alpha * (1 - alpha);
  uint32_t out = static_cast<uint32_t>(std::lround(out_alpha * 255)) << 24;
  for (int shift = 0; shift < 24; shift += 8) {
    double c = ((argb >> shift) & 0xFF), u = ((under >> shift) & 0xFF);
    double value = out_alpha > 0 ? (c * alpha + u * under_alpha * (1 - alpha)) / out_alpha : 0;
    out |= static_cast<uint32_t>(std::lround(std::clamp(value, 0.0, 255.0))) << shift;
  }
  under = out;
}

void Canvas::FillShape(const std::function<bool(double, double)>& inside, uint32_t argb) {
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) hits += inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4) ? 1 : 0;
      BlendPixel(x, y, argb, hits / 16.0);
    }
  }
}

void Canvas::Paint(const std::function<uint32_t(int, int)>& color) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) pixels_[static_cast<size_t>(y) * width_ + x] = color(x, y);
}

void Canvas::FillRect(double left, double top, double right, double bottom, uint32_t argb) {
  FillShape([=](double x, double y) { return x >= left && x < right && y >= top && y < bottom; }, argb);
}

void Canvas::FillRoundRect(double left, double top, double right, double bottom, double radius, uint32_t argb) {
  FillShape(
      [=](double x, double y) {
        if (x < left || x >= right || y < top || y >= bottom) return false;
        double cx = std::clamp(x, left + radius, right - radius);
        double cy = std::clamp(y, top + radius, bottom - radius);
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
      },
      argb);
}

void Canvas::FillCircle(double cx, double cy, double radius, uint32_t argb) {
  FillShape([=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius; }, argb);
}

void Canvas::FillRing(double cx, double cy, double inner, double outer, uint32_t argb) {
  FillShape(
      [=](double x, double y) {
        double d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
        return d <= outer * outer && d >= inner * inner;
      },
      argb);
}

void Canvas::FillPolygon(const std::vector<std::pair<double, double>>& points, uint32_t argb) {
  FillShape(
      [&points](double x, double y) {
        bool inside = false;
        for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
          auto [xi, yi] = points[i];
          auto [xj, yj] = points[j];
          if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
        }
        return inside;
      },
      argb);
}

void Canvas::StrokeLine(double x0, double y0, double x1, double y1, double width, uint32_t argb) {
  double dx = x1 - x0, dy = y1 - y0, length2 = dx * dx + dy * dy;
  FillShape(
      [=](double x, double y) {
        double t = length2 > 0 ? std::clamp(((x - x0) * dx + (y - y0) * dy) / length2, 0.0, 1.0) : 0;
        double px = x0 + t * dx - x, py = y0 + t * dy - y;
        return px * px + py * py <= width * width / 4;
      },
      argb);
}

namespace {
void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
}  // namespace

std::vector<unsigned char> EncodePng(const Canvas& canvas) {
  std::vector<unsigned char> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("PNG encoding failed");
  }
  png_set_write_fn(png, &out, AppendToVector, nullptr);
  png_set_IHDR(png, info, canvas.Width(), canvas.Height(), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 9);
  png_write_info(png, info);
  std::vector<unsigned char> row(static_cast<size_t>(canvas.Width()) * 4);
  for (int y = 0; y < canvas.Height(); ++y) {
    for (int x = 0; x < canvas.Width(); ++x) {
      uint32_t p = canvas.At(x, y);
      row[x * 4 + 0] = (p >> 16) & 0xFF;
      row[x * 4 + 1] = (p >> 8) & 0xFF;
      row[x * 4 + 2] = p & 0xFF;
      row[x * 4 + 3] = (p >> 24) & 0xFF;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<unsigned char> EncodeJpeg(const Canvas& canvas) {
  jpeg_compress_struct jpeg{};
  jpeg_error_mgr errors{};
  jpeg.err = jpeg_std_error(&errors);
  jpeg_create_compress(&jpeg);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&jpeg, &buffer, &size);
  jpeg.image_width = canvas.Width();
  jpeg.image_height = canvas.Height();
  jpeg.input_components = 3;
  jpeg.in_color_space = JCS_RGB;
  jpeg_set_defaults(&jpeg);
  jpeg_set_quality(&jpeg, 95, TRUE);
  jpeg_start_compress(&jpeg, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(canvas.Width()) * 3);
  while (jpeg.next_scanline < jpeg.image_height) {
    for (int x = 0; x < canvas.Width(); ++x) {
      uint32_t p = canvas.At(x, static_cast<int>(jpeg.next_scanline));
      row[x * 3 + 0] = (p >> 16) & 0xFF;
      row[x * 3 + 1] = (p >> 8) & 0xFF;
      row[x * 3 + 2] = p & 0xFF;
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&jpeg, rows, 1);
  }
  jpeg_finish_compress(&jpeg);
  std::vector<unsigned char> out(buffer, buffer + size);
  jpeg_destroy_compress(&jpeg);
  free(buffer);
  return out;
}

namespace {
void Put16(std::vector<unsigned char>& out, unsigned value) {
  out.push_back(value & 0xFF);
  out.push_back((value >> 8) & 0xFF);
}
void Put32(std::vector<unsigned char>& out, unsigned value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}
}  // namespace

std::vector<unsigned char> EncodeIcon(const std::vector<Canvas>& sizes) {
  std::vector<std::vector<unsigned char>> images;
  for (const Canvas& canvas : sizes) images.push_back(EncodePng(canvas));
  std::vector<unsigned char> out;
  Put16(out, 0);
  Put16(out, 1);  // icon
  Put16(out, static_cast<unsigned>(images.size()));
  unsigned offset = 6 + 16 * static_cast<unsigned>(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    out.push_back(sizes[i].Width() >= 256 ? 0 : sizes[i].Width());
    out.push_back(sizes[i].Height() >= 256 ? 0 : sizes[i].Height());
    out.push_back(0);  // no palette
    out.push_back(0);
    Put16(out, 1);   // planes
    Put16(out, 32);  // bits per pixel
    Put32(out, static_cast<unsigned>(images[i].size()));
    Put32(out, offset);
    offset += static_cast<unsigned>(images[i].size());
  }
  for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
  return out;
}

void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}
