// Widening of decoded blocks in place into 16-bit stereo.
#include "platform/sample_widening.h"

#include <gtest/gtest.h>

#include <cstring>
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
  platform::WidenEightBitInPlace(block.data(), sizeof input);
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
  platform::DuplicateMonoInPlace(block.data(), count);
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
  platform::WidenEightBitInPlace(block.data(), 3);
  platform::DuplicateMonoInPlace(block.data(), 3);
  const int16_t expected[] = {-32768, -32768, 0, 0, 32512, 32512};
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(SampleAt(block, i), expected[i]) << i;
}

TEST(Widening, EightBitSamplesAreCentredAndScaledToSixteenBits) {
  std::uint8_t block[8] = {255, 0, 128, 129};
  platform::WidenEightBitInPlace(block, 4);
  const auto sample = [&](int i) { return static_cast<std::int16_t>(block[2 * i] | (block[2 * i + 1] << 8)); };
  EXPECT_EQ(sample(0), 32512);
  EXPECT_EQ(sample(1), -32768);
  EXPECT_EQ(sample(2), 0) << "silence must stay silence";
  EXPECT_EQ(sample(3), 256);
}

TEST(Widening, MonoSamplesBecomeIdenticalLeftAndRight) {
  std::uint8_t block[16] = {0x01, 0x02, 0xFF, 0x7F, 0x00, 0x80};
  platform::DuplicateMonoInPlace(block, 3);
  const std::uint8_t expected[12] = {0x01, 0x02, 0x01, 0x02, 0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x80, 0x00, 0x80};
  EXPECT_EQ(0, std::memcmp(block, expected, sizeof expected));
}

}  // namespace
