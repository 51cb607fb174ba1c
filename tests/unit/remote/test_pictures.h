#pragma once
#include <cstdint>
#include <vector>

#include "common/picture.h"

// Picture files made in the test with the real encoders.
namespace test_pictures {

// A width x height picture with varied colours and alpha in every row and column.
Picture Pattern(int width, int height);

enum class PngLayout { Rgba, Rgb, Gray, GrayAlpha };
// The picture as a PNG file in the given layout; grey layouts keep the green channel.
std::vector<uint8_t> Png(const Picture& picture, PngLayout layout = PngLayout::Rgba);
// What a PNG of that layout holds of the picture, as a decoder should give it back.
Picture AsStored(const Picture& picture, PngLayout layout);
// A PNG signature and header chunk announcing width x height, and nothing after it.
std::vector<uint8_t> PngHeaderOnly(uint32_t width, uint32_t height);
// The picture as a baseline (or progressive) JPEG file of quality 95; alpha is dropped.
std::vector<uint8_t> Jpeg(const Picture& picture, bool progressive = false);

}  // namespace test_pictures
