// The logo decoders on any bytes: each either gives a whole picture or raises PictureError.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "remote/picture_decoders.h"

namespace {

template <typename Decoder>
void Decode(Decoder decode, std::span<const uint8_t> bytes) {
  try {
    Picture picture = decode(bytes);
    if (picture.Empty() || picture.pixels.size() != size_t(picture.width) * size_t(picture.height)) std::abort();
  } catch (const PictureError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  Decode(DecodePng, bytes);
  Decode(DecodeJpeg, bytes);
  return 0;
}
