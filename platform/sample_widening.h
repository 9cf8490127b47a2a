// In-place widening of decoded PCM blocks into 16-bit stereo. Both work from the last sample
// backwards, so a block widens inside the buffer it was decoded into, which must have room for
// the widened length.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// `count` unsigned 8-bit samples become `count` signed 16-bit little-endian samples
// (2 × count bytes), silence (128) staying silence (0).
void WidenEightBitInPlace(uint8_t* block, std::size_t count);

// `count` 16-bit samples of a mono block become `count` stereo frames with equal left and
// right (4 × count bytes).
void DuplicateMonoInPlace(uint8_t* block, std::size_t count);

}  // namespace platform
