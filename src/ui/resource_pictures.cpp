#include "ui/resource_pictures.h"

#include <cstdio>
#include <string_view>
#include <csetjmp>

#include <jpeglib.h>
#include <png.h>

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  jmp_buf escape;
};

void OnError(j_common_ptr info) { longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1); }

Picture Decode(const unsigned char* data, size_t size) {
  jpeg_decompress_struct jpeg{};
  ErrorManager errors{};
  jpeg.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnError;
  Picture picture;
  if (setjmp(errors.escape)) {
    jpeg_destroy_decompress(&jpeg);
    return {};
  }
  jpeg_create_decompress(&jpeg);
  jpeg_mem_src(&jpeg, data, static_cast<unsigned long>(size));
  jpeg_read_header(&jpeg, TRUE);
  jpeg.out_color_space = JCS_RGB;
  jpeg_start_decompress(&jpeg);
  picture.width = static_cast<int>(jpeg.output_width);
  picture.height = static_cast<int>(jpeg.output_height);
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
  std::vector<unsigned char> row(static_cast<size_t>(picture.width) * 3);
  while (jpeg.output_scanline < jpeg.output_height) {
    JSAMPROW rows[] = {row.data()};
    int y = static_cast<int>(jpeg.output_scanline);
    jpeg_read_scanlines(&jpeg, rows, 1);
    for (int x = 0; x < picture.width; ++x) {
      picture.pixels[static_cast<size_t>(y) * picture.width + x] =
          0xFF000000u | row[x * 3] << 16 | row[x * 3 + 1] << 8 | row[x * 3 + 2];
    }
  }
  jpeg_finish_decompress(&jpeg);
  jpeg_destroy_decompress(&jpeg);
  return picture;
}

}  // namespace

std::basic_string_view<unsigned char> ResourceBytes(HINSTANCE instance, const wchar_t* name) {
  HRSRC resource = FindResourceW(instance, name, RT_RCDATA);
  HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return {static_cast<const unsigned char*>(data), SizeofResource(instance, resource)};
}

Picture LoadJpegResource(HINSTANCE instance, const wchar_t* name) {
  auto bytes = ResourceBytes(instance, name);
  return bytes.empty() ? Picture{} : Decode(bytes.data(), bytes.size());
}

Picture LoadPngResource(HINSTANCE instance, const wchar_t* name) {
  auto bytes = ResourceBytes(instance, name);
  if (bytes.empty()) return {};
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
  image.format = PNG_FORMAT_BGRA;  // little-endian 0xAARRGGBB
  Picture picture;
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
  if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return {};
  }
  return picture;
}
