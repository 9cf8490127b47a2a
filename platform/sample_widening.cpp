#include "platform/sample_widening.h"

namespace platform {

void WidenEightBitInPlace(uint8_t* block, std::size_t count) {
  // 8-bit PCM is unsigned with silence at 128, 16-bit PCM signed with silence at 0: centre the
  // value before scaling, or silence would come out as a loud constant offset.
  for (std::size_t j = count; j-- > 0;) {
    const auto sample = static_cast<uint16_t>((block[j] - 128) * 256);
    block[2 * j] = static_cast<uint8_t>(sample & 0xFF);
    block[2 * j + 1] = static_cast<uint8_t>(sample >> 8);
  }
}

void DuplicateMonoInPlace(uint8_t* block, std::size_t count) {
  for (std::size_t j = count; j-- > 0;) {
    const uint8_t low = block[2 * j];
    const uint8_t high = block[2 * j + 1];
    block[4 * j] = low;
    block[4 * j + 1] = high;
    block[4 * j + 2] = low;
    block[4 * j + 3] = high;
  }
}

}  // namespace platform
