#include "test_pictures.h"

#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>

namespace test_pictures {

Picture Pattern(int width, int height) {
  Picture picture{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.pixels.push_back(uint32_t(0x40 + (x + y) % 0xC0) << 24 | uint32_t(x * 255 / width) << 16 |
                               uint32_t(y * 255 / height) << 8 | 0x80);
  return picture;
}

namespace {

png_uint_32 FormatOf(PngLayout layout) {
  switch (layout) {
    case PngLayout::Rgb: return PNG_FORMAT_RGB;
    case PngLayout::Gray: return PNG_FORMAT_GRAY;
    case PngLayout::GrayAlpha: return PNG_FORMAT_GA;
    default: return PNG_FORMAT_RGBA;
  }
}

// The channels a layout keeps of one pixel; grey is the green channel.
void PutChannels(std::vector<uint8_t>& out, uint32_t p, PngLayout layout) {
  uint8_t a = uint8_t(p >> 24), r = uint8_t(p >> 16), g = uint8_t(p >> 8), b = uint8_t(p);
  switch (layout) {
    case PngLayout::Rgb: out.insert(out.end(), {r, g, b}); break;
    case PngLayout::Gray: out.push_back(g); break;
    case PngLayout::GrayAlpha: out.insert(out.end(), {g, a}); break;
    default: out.insert(out.end(), {r, g, b, a}); break;
  }
}

}  // namespace

Picture AsStored(const Picture& picture, PngLayout layout) {
  Picture stored = picture;
  for (uint32_t& p : stored.pixels) {
    uint32_t a = p >> 24, g = (p >> 8) & 0xFF;
    if (layout == PngLayout::Rgb) p |= 0xFF000000u;
    if (layout == PngLayout::Gray) p = 0xFF000000u | g << 16 | g << 8 | g;
    if (layout == PngLayout::GrayAlpha) p = a << 24 | g << 16 | g << 8 | g;
  }
  return stored;
}

std::vector<uint8_t> Png(const Picture& picture, PngLayout layout) {
  std::vector<uint8_t> pixels;
  for (uint32_t p : picture.pixels) PutChannels(pixels, p, layout);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(picture.width);
  image.height = static_cast<png_uint_32>(picture.height);
  image.format = FormatOf(layout);
  png_alloc_size_t size = 0;
  if (!png_image_write_get_memory_size(image, size, 0, pixels.data(), 0, nullptr))
    throw std::runtime_error(image.message);
  std::vector<uint8_t> file(size);
  if (!png_image_write_to_memory(&image, file.data(), &size, 0, pixels.data(), 0, nullptr))
    throw std::runtime_error(image.message);
  file.resize(size);
  return file;
}

namespace {
void PutBigEndian(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}
}  // namespace

std::vector<uint8_t> PngHeaderOnly(uint32_t width, uint32_t height) {
  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> chunk = {'I', 'H', 'D', 'R'};
  PutBigEndian(chunk, width);
  PutBigEndian(chunk, height);
  chunk.insert(chunk.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, deflate, no filter, no interlace
  PutBigEndian(file, 13);
  file.insert(file.end(), chunk.begin(), chunk.end());
  PutBigEndian(file, static_cast<uint32_t>(crc32(0, chunk.data(), static_cast<uInt>(chunk.size()))));
  return file;
}

std::vector<uint8_t> Jpeg(const Picture& picture, bool progressive) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(picture.width);
  info.image_height = static_cast<JDIMENSION>(picture.height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  if (progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(picture.width) * 3);
  while (info.next_scanline < info.image_height) {
    for (int x = 0; x < picture.width; ++x) {
      uint32_t p = picture.At(x, static_cast<int>(info.next_scanline));
      row[x * 3] = uint8_t(p >> 16), row[x * 3 + 1] = uint8_t(p >> 8), row[x * 3 + 2] = uint8_t(p);
    }
    JSAMPROW pointer = row.data();
    jpeg_write_scanlines(&info, &pointer, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<uint8_t> file(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return file;
}

}  // namespace test_pictures
