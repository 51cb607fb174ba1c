#pragma once
#include <cstdint>
#include <span>
#include <stdexcept>

#include "common/picture.h"

// A picture its decoder rejects: damaged, cut off, of another format or too large. The
// message is the decoder's own.
class PictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Larger pictures are refused before their pixels take memory; the logo area is 281 by 225.
inline constexpr uint32_t kMaxPictureSide = 4096;
inline constexpr uint64_t kMaxPicturePixels = 4096 * 1024;

// Raises PictureError for a picture beyond the limits.
void CheckPictureSize(uint32_t width, uint32_t height);

// Whole files in memory to pictures; raise PictureError. Warnings count as errors, so a file
// cut short is rejected rather than shown half grey.
Picture DecodePng(std::span<const uint8_t> data);
Picture DecodeJpeg(std::span<const uint8_t> data);
