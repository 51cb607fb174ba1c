// JPEG through libjpeg: its errors, and its warnings about damaged data, leave the library by
// longjmp instead of ending the process.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "remote/picture_decoders.h"

namespace {

// A progressive file may ask for any number of passes over the whole picture; real ones use
// about ten.
constexpr int kMaxScans = 256;

struct JpegSession {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  jpeg_progress_mgr progress{};
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX] = "";
  std::vector<uint8_t> rgb;

  ~JpegSession() { jpeg_destroy_decompress(&info); }
};

JpegSession& SessionOf(j_common_ptr info) { return *static_cast<JpegSession*>(info->client_data); }

[[noreturn]] void Fail(j_common_ptr info) {
  JpegSession& session = SessionOf(info);
  info->err->format_message(info, session.message);
  std::longjmp(session.jump, 1);
}

// Level -1 is a warning about damaged data (a premature end among them); trace levels stay quiet.
void OnMessage(j_common_ptr info, int level) {
  if (level < 0) Fail(info);
}

[[noreturn]] void Reject(JpegSession& session, const char* message) {
  std::snprintf(session.message, sizeof session.message, "%s", message);
  std::longjmp(session.jump, 1);
}

void OnProgress(j_common_ptr info) {
  if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans)
    Reject(SessionOf(info), "Too many scans in the JPEG file");
}

void Prepare(JpegSession& s) {
  s.info.err = jpeg_std_error(&s.errors);
  s.errors.error_exit = Fail;
  s.errors.emit_message = OnMessage;
  s.progress.progress_monitor = OnProgress;
  s.info.client_data = &s;
}

// False with session.message set when libjpeg rejects the data. An error leaves this function
// by longjmp, so it holds no object with a destructor; the session owns everything.
bool ReadImage(JpegSession& s, std::span<const uint8_t> data) {
  if (setjmp(s.jump)) return false;
  jpeg_create_decompress(&s.info);
  s.info.client_data = &s;
  s.info.progress = &s.progress;
  jpeg_mem_src(&s.info, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&s.info, TRUE);
  CheckPictureSize(s.info.image_width, s.info.image_height);
  s.info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&s.info);
  if (s.info.output_components != 3) Reject(s, "Unsupported JPEG colour layout");
  size_t stride = size_t{s.info.output_width} * 3;
  s.rgb.resize(stride * s.info.output_height);
  while (s.info.output_scanline < s.info.output_height) {
    JSAMPROW row = s.rgb.data() + stride * s.info.output_scanline;
    jpeg_read_scanlines(&s.info, &row, 1);
  }
  jpeg_finish_decompress(&s.info);  // up to EOI: a file cut after its last scan is still cut
  return true;
}

Picture ToPicture(const JpegSession& s) {
  Picture picture{static_cast<int>(s.info.output_width), static_cast<int>(s.info.output_height), {}};
  picture.pixels.resize(s.rgb.size() / 3);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    const uint8_t* p = &s.rgb[i * 3];
    picture.pixels[i] = 0xFF000000u | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
  }
  return picture;
}

}  // namespace

Picture DecodeJpeg(std::span<const uint8_t> data) {
  JpegSession session;
  Prepare(session);
  if (!ReadImage(session, data)) throw PictureError(session.message);
  return ToPicture(session);
}
