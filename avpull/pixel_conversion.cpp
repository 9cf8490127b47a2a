#include "avpull/pixel_conversion.h"

namespace avpull {

namespace {

void Store32(uint8_t* target, uint32_t value) {
  target[0] = static_cast<uint8_t>(value);
  target[1] = static_cast<uint8_t>(value >> 8);
  target[2] = static_cast<uint8_t>(value >> 16);
  target[3] = static_cast<uint8_t>(value >> 24);
}

}  // namespace

uint32_t PixelFrom565(uint16_t pixel) {
  const uint32_t blue = (pixel & 31u) << 3;
  const uint32_t green = ((pixel >> 5) & 63u) << 2;
  const uint32_t red = static_cast<uint32_t>(pixel >> 11) << 3;
  return blue | (green << 8) | (red << 16);
}

void Convert565To32(const uint8_t* source, std::size_t count, uint8_t* target) {
  for (std::size_t i = 0; i < count; ++i) {
    const auto pixel = static_cast<uint16_t>(source[2 * i] | (source[2 * i + 1] << 8));
    Store32(target + 4 * i, PixelFrom565(pixel));
  }
}

void Convert24To32(const uint8_t* source, std::size_t count, uint8_t* target) {
  for (std::size_t i = 0; i < count; ++i) {
    const uint8_t* p = source + 3 * i;
    Store32(target + 4 * i, p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16));
  }
}

}  // namespace avpull
