// Widening of decoded blocks in place into 16-bit stereo.
#include "avpull/sample_widening.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

int16_t SampleAt(const std::vector<uint8_t>& block, std::size_t index) {
  return static_cast<int16_t>(block[2 * index] | (block[2 * index + 1] << 8));
}

// Catches unsigned 8-bit data passed on as if it were signed (silence turned into a constant
// offset) and samples overwritten before they are read.
TEST(WidenEightBit, CentresOnSilenceAndScalesToSixteenBits) {
  const uint8_t input[] = {255, 0, 128, 129, 127, 200};
  const int16_t expected[] = {32512, -32768, 0, 256, -256, 18432};
  std::vector<uint8_t> block(sizeof input * 2, 0xEE);
  std::copy(std::begin(input), std::end(input), block.begin());
  avpull::WidenEightBitInPlace(block.data(), sizeof input);
  for (std::size_t i = 0; i < sizeof input; ++i) EXPECT_EQ(SampleAt(block, i), expected[i]) << i;
}

TEST(DuplicateMono, EverySampleBecomesAnEqualStereoFrameInOrder) {
  const int16_t input[] = {1, -2, 300, -32768, 32767};
  const std::size_t count = std::size(input);
  std::vector<uint8_t> block(count * 4, 0xEE);
  for (std::size_t i = 0; i < count; ++i) {
    block[2 * i] = static_cast<uint8_t>(input[i] & 0xFF);
    block[2 * i + 1] = static_cast<uint8_t>((input[i] >> 8) & 0xFF);
  }
  avpull::DuplicateMonoInPlace(block.data(), count);
  for (std::size_t i = 0; i < count; ++i) {
    EXPECT_EQ(SampleAt(block, 2 * i), input[i]) << i;
    EXPECT_EQ(SampleAt(block, 2 * i + 1), input[i]) << i;
  }
}

// A mono 8-bit block grows fourfold inside its own buffer.
TEST(Widening, EightBitMonoGrowsFourfoldInPlace) {
  std::vector<uint8_t> block(4 * 3, 0xEE);
  block[0] = 0;
  block[1] = 128;
  block[2] = 255;
  avpull::WidenEightBitInPlace(block.data(), 3);
  avpull::DuplicateMonoInPlace(block.data(), 3);
  const int16_t expected[] = {-32768, -32768, 0, 0, 32512, 32512};
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(SampleAt(block, i), expected[i]) << i;
}

}  // namespace
