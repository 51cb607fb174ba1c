// PNG through libpng's classic interface: errors leave libpng by longjmp, never by a C++
// exception unwinding through C frames.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "remote/picture_decoders.h"

namespace {

struct PngSession {
  std::span<const uint8_t> data;
  size_t offset = 0;
  char message[256] = "";
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<uint8_t> rgba;
  std::vector<png_bytep> rows;
  uint32_t width = 0, height = 0;

  ~PngSession() { png_destroy_read_struct(&png, &info, nullptr); }
};

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
  auto* session = static_cast<PngSession*>(png_get_error_ptr(png));
  std::snprintf(session->message, sizeof session->message, "%s", message);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}  // libpng only warns about what it can repair

void ReadData(png_structp png, png_bytep out, size_t size) {
  auto* session = static_cast<PngSession*>(png_get_io_ptr(png));
  if (session->data.size() - session->offset < size) png_error(png, "Unexpected end of PNG data");
  std::memcpy(out, session->data.data() + session->offset, size);
  session->offset += size;
}

// Any colour type and depth to 8-bit RGBA.
void RequestRgba(png_structp png, png_infop info) {
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
}

// False with session.message set when libpng rejects the data. An error leaves this function
// by longjmp, so it holds no object with a destructor; the session owns everything.
bool ReadImage(PngSession& s) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  png_set_read_fn(s.png, &s, ReadData);
  png_set_user_limits(s.png, kMaxPictureSide, kMaxPictureSide);
  png_set_chunk_malloc_max(s.png, 4u << 20);
  png_read_info(s.png, s.info);
  s.width = png_get_image_width(s.png, s.info);
  s.height = png_get_image_height(s.png, s.info);
  CheckPictureSize(s.width, s.height);
  RequestRgba(s.png, s.info);
  if (png_get_rowbytes(s.png, s.info) != size_t{s.width} * 4) png_error(s.png, "Unexpected PNG row layout");
  s.rgba.resize(size_t{s.width} * s.height * 4);
  s.rows.resize(s.height);
  for (uint32_t y = 0; y < s.height; ++y) s.rows[y] = s.rgba.data() + size_t{y} * s.width * 4;
  png_read_image(s.png, s.rows.data());
  png_read_end(s.png, nullptr);  // up to IEND: a file cut after its pixels is still cut
  return true;
}

Picture ToPicture(const PngSession& s) {
  Picture picture{static_cast<int>(s.width), static_cast<int>(s.height), {}};
  picture.pixels.resize(size_t{s.width} * s.height);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    const uint8_t* p = &s.rgba[i * 4];
    picture.pixels[i] = uint32_t{p[3]} << 24 | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
  }
  return picture;
}

}  // namespace

Picture DecodePng(std::span<const uint8_t> data) {
  PngSession session;
  session.data = data;
  session.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &session, OnError, OnWarning);
  if (session.png) session.info = png_create_info_struct(session.png);
  if (!session.info) throw PictureError("Out of memory for the PNG decoder");
  if (!ReadImage(session)) throw PictureError(session.message);
  return ToPicture(session);
}
