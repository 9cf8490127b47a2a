// Conversion of rendered video frames into the 32-bit pixels avpull hands out: each pixel a
// little-endian 32-bit value with blue in byte 0, green in byte 1, red in byte 2 and 0 in byte 3.
#pragma once

#include <cstddef>
#include <cstdint>

namespace avpull {

// One 5-6-5 pixel (red in the top 5 bits, blue in the low 5) as a 32-bit pixel: each component
// shifted up to 8 bits (0xFFFF becomes 0x00F8FCF8).
uint32_t PixelFrom565(uint16_t pixel);

// `count` little-endian 5-6-5 pixels from `source` into `target` (4 × count bytes).
void Convert565To32(const uint8_t* source, std::size_t count, uint8_t* target);

// `count` 3-byte pixels b0 b1 b2 from `source` into `target` as b0 + b1 × 256 + b2 × 65536.
void Convert24To32(const uint8_t* source, std::size_t count, uint8_t* target);

}  // namespace avpull
