// The delivered-PCM rules as plain functions.
#include "platform/mmstream/pcm_format.h"

#include <gtest/gtest.h>

using namespace platform::mmstream;

namespace {

struct ShapeRow {
  AVSampleFormat source;
  int source_channels;
  AVSampleFormat delivered;
  int delivered_channels;
};

// Catches 8-bit sources widened here (the widening belongs to the consumers), float or 24-bit
// sources passed through, and multichannel sources not reduced to stereo.
TEST(DeliveredShape, EightBitStaysEightBitEverythingElseBecomesSixteenBit) {
  const ShapeRow rows[] = {
      {AV_SAMPLE_FMT_U8, 1, AV_SAMPLE_FMT_U8, 1},    {AV_SAMPLE_FMT_U8P, 2, AV_SAMPLE_FMT_U8, 2},
      {AV_SAMPLE_FMT_S16, 1, AV_SAMPLE_FMT_S16, 1},  {AV_SAMPLE_FMT_S16P, 2, AV_SAMPLE_FMT_S16, 2},
      {AV_SAMPLE_FMT_S32, 2, AV_SAMPLE_FMT_S16, 2},  {AV_SAMPLE_FMT_FLTP, 6, AV_SAMPLE_FMT_S16, 2},
      {AV_SAMPLE_FMT_DBL, 8, AV_SAMPLE_FMT_S16, 2},  {AV_SAMPLE_FMT_U8, 3, AV_SAMPLE_FMT_U8, 2},
  };
  for (const ShapeRow& row : rows) {
    const PcmShape shape = DeliveredShape(row.source, row.source_channels, 44100);
    EXPECT_EQ(shape.sample_format, row.delivered) << av_get_sample_fmt_name(row.source);
    EXPECT_EQ(shape.channels, row.delivered_channels) << row.source_channels;
    EXPECT_EQ(shape.rate, 44100);
  }
}

// Catches a downmix that drops channels or can clip: every input lands on exactly one side,
// and the weights of each side add up to one.
TEST(PlainDownmix, EvenChannelsLeftOddChannelsRightWithoutClipping) {
  const int in = 5;
  const auto matrix = PlainDownmix(in, 2);
  ASSERT_EQ(matrix.size(), 10u);
  for (int c = 0; c < in; ++c) {
    EXPECT_EQ(matrix[c] > 0.0, c % 2 == 0) << c;
    EXPECT_EQ(matrix[in + c] > 0.0, c % 2 == 1) << c;
  }
  double left = 0.0;
  double right = 0.0;
  for (int c = 0; c < in; ++c) {
    left += matrix[c];
    right += matrix[in + c];
  }
  EXPECT_DOUBLE_EQ(left, 1.0);
  EXPECT_DOUBLE_EQ(right, 1.0);

  const auto mono = PlainDownmix(3, 1);
  ASSERT_EQ(mono.size(), 3u);
  for (double w : mono) EXPECT_DOUBLE_EQ(w, 1.0 / 3);
  EXPECT_TRUE(PlainDownmix(0, 2).empty());
}

}  // namespace
