// Conversion of 16- and 24-bit frames into 32-bit pixels.
#include "avpull/pixel_conversion.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

uint32_t Load32(const std::vector<uint8_t>& bytes, std::size_t index) {
  const uint8_t* p = bytes.data() + 4 * index;
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

TEST(PixelFrom565, ComponentsMoveToTheirBytes) {
  EXPECT_EQ(avpull::PixelFrom565(0xFFFF), 0x00F8FCF8u);
  EXPECT_EQ(avpull::PixelFrom565(0xF800), 0x00F80000u);  // red
  EXPECT_EQ(avpull::PixelFrom565(0x07E0), 0x0000FC00u);  // green
  EXPECT_EQ(avpull::PixelFrom565(0x001F), 0x000000F8u);  // blue
  EXPECT_EQ(avpull::PixelFrom565(0x0000), 0u);
}

// Catches a big-endian read of the 16-bit pixels or a wrong stride through the frame.
TEST(Convert565To32, ReadsLittleEndianPixelsInOrder) {
  const std::vector<uint8_t> source = {0x00, 0xF8, 0x1F, 0x00, 0xE0, 0x07};  // red, blue, green
  std::vector<uint8_t> target(12, 0xEE);
  avpull::Convert565To32(source.data(), 3, target.data());
  EXPECT_EQ(Load32(target, 0), 0x00F80000u);
  EXPECT_EQ(Load32(target, 1), 0x000000F8u);
  EXPECT_EQ(Load32(target, 2), 0x0000FC00u);
}

TEST(Convert24To32, ThreeBytesBecomeTheLowThreeBytes) {
  const std::vector<uint8_t> source = {0x11, 0x22, 0x33, 0xFF, 0x00, 0x80};
  std::vector<uint8_t> target(8, 0xEE);
  avpull::Convert24To32(source.data(), 2, target.data());
  EXPECT_EQ(Load32(target, 0), 0x00332211u);
  EXPECT_EQ(Load32(target, 1), 0x008000FFu);
}

}  // namespace
