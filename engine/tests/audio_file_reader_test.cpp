// The reader a conversion decodes its source with, on real media files made by FFmpeg's own
// encoders.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "engine/audio_file_reader.h"
#include "platform/mmstream/tests/media_fixtures.h"

using namespace engine;
using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;
using media_fixtures::TempDir;

namespace {

std::vector<std::uint8_t> ReadThrough(AudioFileReader& reader) {
  std::vector<std::uint8_t> all, buffer(10000);
  for (std::uint32_t n; (n = reader.ReadData(buffer.data(), 10000)) > 0;) all.insert(all.end(), buffer.begin(), buffer.begin() + n);
  return all;
}

}  // namespace

// What the encoder gets: the decoder's float samples where it has them, centred 16-bit ones for
// an 8-bit source, mono as one channel, at the rate asked for.
TEST(AudioFileReader, EachSourceArrivesAsTheEncoderTakesItLeast) {
  TempDir dir;
  struct Case {
    const char* file;
    std::string arguments;
    int rate;
    int channels, bits;
    bool floating;
  } cases[] = {{"u8.wav", SineInput(500, 11025, 2) + " -ac 1 -c:a pcm_u8", 44100, 1, 16, false},
               {"tone.wma", SineInput(500, 22050, 2) + " -ac 1 -c:a wmav2", 44100, 1, 32, true},
               {"tone.flac", SineInput(500, 48000, 2) + " -ac 2 -c:a flac", 0, 2, 16, false}};
  for (const Case& c : cases) {
    ASSERT_TRUE(Ffmpeg(c.arguments, dir.File(c.file)));
    AudioFileReader reader(dir.File(c.file), c.rate);
    EXPECT_EQ(reader.Format().channels, c.channels) << c.file;
    EXPECT_EQ(reader.Format().bitsPerSample, c.bits) << c.file;
    EXPECT_EQ(reader.FloatSamples(), c.floating) << c.file;
    const int rate = reader.Format().sampleRate;
    EXPECT_EQ(rate, c.rate != 0 ? c.rate : 48000) << c.file;
    const auto bytes = ReadThrough(reader);
    const int frameBytes = c.channels * c.bits / 8;
    EXPECT_NEAR(static_cast<double>(bytes.size()) / frameBytes / rate, 2.0, 0.03) << c.file;
    // A centred signal: a sine has no offset (unsigned 8-bit data taken as signed would have).
    double sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size() && c.bits == 16; i += 2)
      sum += static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8));
    EXPECT_LT(std::abs(sum / static_cast<double>(bytes.size() / 2 + 1)), 300.0) << c.file;
  }
}

namespace {

struct BadInput {
  const char* name;
  std::function<std::string(TempDir&)> make;
  const char* expected;
};

class BadInputs : public ::testing::TestWithParam<BadInput> {};

}  // namespace

// A file that cannot be decoded ends in the reader's error with a clear reason, never a crash
// or a hang.
TEST_P(BadInputs, OpeningFailsWithAClearReason) {
  TempDir dir;
  const std::string path = GetParam().make(dir);
  try {
    AudioFileReader reader(path);
    FAIL() << "opened " << path;
  } catch (const AudioReadError& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadInputs,
    ::testing::Values(
        BadInput{"Missing", [](TempDir& d) { return d.File("missing.wma"); }, "No such file or directory"},
        BadInput{"ZeroLength",
                 [](TempDir& d) {
                   media_fixtures::WriteBytes(d.File("empty.wma"), {});
                   return d.File("empty.wma");
                 },
                 "Invalid data found when processing input"},
        BadInput{"TruncatedHeader",
                 [](TempDir& d) {
                   Ffmpeg(SineInput(1000, 44100, 1) + " -c:a wmav2", d.File("whole.wma"));
                   auto bytes = media_fixtures::ReadBytes(d.File("whole.wma"));
                   bytes.resize(300);
                   media_fixtures::WriteBytes(d.File("cut.wma"), bytes);
                   return d.File("cut.wma");
                 },
                 "Invalid data found when processing input"},
        BadInput{"RandomBytesNamedWma",
                 [](TempDir& d) {
                   media_fixtures::WriteBytes(d.File("noise.wma"), media_fixtures::RandomBytes(50000, 7));
                   return d.File("noise.wma");
                 },
                 "Invalid data found when processing input"},
        BadInput{"VideoOnly",
                 [](TempDir& d) {
                   Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v wmv2", d.File("video.wmv"));
                   return d.File("video.wmv");
                 },
                 "The file has no audio stream."}),
    [](const auto& param) { return std::string(param.param.name); });
