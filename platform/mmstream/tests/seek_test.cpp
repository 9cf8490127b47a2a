// Repositioning: the next samples are those at the asked-for time, and their times say so.
#include "platform/mmstream/media_stream.h"
#include "platform/mmstream/tests/media_fixtures.h"
#include "platform/mmstream/tests/read_all.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace platform::mmstream;
using media_fixtures::Ffmpeg;
using media_fixtures::TempDir;

namespace {

constexpr double kSeconds = 6.0;

// A 1 kHz tone whose amplitude grows over the file, so that no two stretches look alike.
std::string RampInput(int rate) {
  const std::string channel = "0.9*t/" + std::to_string(kSeconds) + "*sin(2*PI*1000*t)";
  return "-f lavfi -i \"aevalsrc=exprs=" + channel + "|" + channel + ":s=" + std::to_string(rate) +
         ":d=" + std::to_string(kSeconds) + "\"";
}

// By how many samples `block` is displaced from where it sits in `whole` at `offset`: the shift
// within ±`range` at which the two differ least.
int Displacement(const std::vector<double>& whole, std::size_t offset, const std::vector<double>& block, int range) {
  int best = 0;
  double least = 1e300;
  for (int lag = -range; lag <= range; ++lag) {
    double sum = 0.0;
    for (std::size_t i = 0; i < block.size(); ++i) {
      const auto at = static_cast<std::ptrdiff_t>(offset + i) + lag;
      if (at < 0 || at >= static_cast<std::ptrdiff_t>(whole.size())) continue;
      const double d = whole[static_cast<std::size_t>(at)] - block[i];
      sum += d * d;
    }
    if (sum < least) {
      least = sum;
      best = lag;
    }
  }
  return best;
}

std::vector<uint8_t> ReadSpan(MediaStream& media, double seconds, Time* first_start) {
  const PcmFormat& format = media.AudioFormat();
  const auto wanted = static_cast<uint32_t>(seconds * format.sampleRate) * format.BlockAlign();
  std::vector<uint8_t> pcm(wanted);
  uint32_t filled = 0;
  while (filled < wanted) {
    uint32_t bytes = 0;
    Time start = 0;
    Time end = 0;
    if (!media.ReadAudio(pcm.data() + filled, wanted - filled, bytes, start, end).Ok()) break;
    if (filled == 0 && first_start != nullptr) *first_start = start;
    filled += bytes;
  }
  pcm.resize(filled);
  return pcm;
}

struct SeekCase {
  const char* name;
  const char* file;
  const char* codec;
  int precision;  // samples: the container's timestamp resolution
};

void PrintTo(const SeekCase& c, std::ostream* out) { *out << c.name; }

class SeekIn : public ::testing::TestWithParam<SeekCase> {};

// Catches seeks that land at the container's nearest index point instead of the asked-for
// time, and block times that do not restart from the target: the samples after a seek are
// those a straight decode has at that time.
TEST_P(SeekIn, LandsWhereAsked) {
  TempDir dir;
  const std::string path = dir.File(GetParam().file);
  ASSERT_TRUE(Ffmpeg(RampInput(44100) + " " + GetParam().codec, path));
  std::unique_ptr<MediaStream> media;
  ASSERT_TRUE(MediaStream::Open(path, kAudioStream, media).Ok());
  media->SetRunning(true);
  const PcmFormat format = media->AudioFormat();
  const auto straight = media_fixtures::Channel(mmstream_test::ReadAll(*media).pcm, 16, 2, 0);

  for (double target : {4.0, 1.5, 3.0, 0.1}) {
    ASSERT_TRUE(media->Seek(static_cast<Time>(target * 1e7)).Ok());
    Time start = -1;
    const auto block = media_fixtures::Channel(ReadSpan(*media, 0.05, &start), 16, 2, 0);
    ASSERT_FALSE(block.empty()) << target;
    EXPECT_EQ(start, static_cast<Time>(target * 1e7));
    const auto offset = static_cast<std::size_t>(target * format.sampleRate);
    EXPECT_LE(std::abs(Displacement(straight, offset, block, 2000)), GetParam().precision) << "seek to " << target;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, SeekIn,
                         // ASF stamps its packets in whole milliseconds (44 samples here).
                         ::testing::Values(SeekCase{"Wav", "a.wav", "-c:a pcm_s16le", 0},
                                           SeekCase{"Flac", "a.flac", "-c:a flac", 0},
                                           SeekCase{"Mp3", "a.mp3", "-c:a libmp3lame -b:a 192k", 0},
                                           SeekCase{"Wma", "a.wma", "-c:a wmav2 -b:a 192k", 45}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(Seek, BackToTheStartRepeatsTheStreamExactly) {
  TempDir dir;
  const std::string path = dir.File("a.wav");
  ASSERT_TRUE(Ffmpeg(RampInput(22050), path));
  std::unique_ptr<MediaStream> media;
  ASSERT_TRUE(MediaStream::Open(path, kAudioStream, media).Ok());
  media->SetRunning(true);
  const auto first = mmstream_test::ReadAll(*media);
  ASSERT_EQ(first.final_result.status, Status::EndOfStream);
  ASSERT_TRUE(media->Seek(0).Ok());
  const auto second = mmstream_test::ReadAll(*media);
  EXPECT_EQ(second.first_start, 0);
  EXPECT_TRUE(first.pcm == second.pcm);
}

TEST(Seek, PastTheEndEndsTheStream) {
  TempDir dir;
  const std::string path = dir.File("a.flac");
  ASSERT_TRUE(Ffmpeg(RampInput(44100) + " -c:a flac", path));
  std::unique_ptr<MediaStream> media;
  ASSERT_TRUE(MediaStream::Open(path, kAudioStream, media).Ok());
  media->SetRunning(true);
  ASSERT_TRUE(media->Seek(static_cast<Time>(60 * 1e7)).Ok());
  const auto rest = mmstream_test::ReadAll(*media);
  EXPECT_EQ(rest.final_result.status, Status::EndOfStream);
  EXPECT_LT(rest.pcm.size(), 4096u * 4);
  // And a negative position means the start.
  ASSERT_TRUE(media->Seek(-5).Ok());
  Time start = -1;
  EXPECT_FALSE(ReadSpan(*media, 0.01, &start).empty());
  EXPECT_EQ(start, 0);
}

}  // namespace

namespace {

struct ResampledSeekCase {
  const char* name;
  const char* file;
  const char* codec;
  int source_rate;
  int delivered_rate;
  int precision;  // delivered samples
};

void PrintTo(const ResampledSeekCase& c, std::ostream* out) { *out << c.name; }

class SeekResampled : public ::testing::TestWithParam<ResampledSeekCase> {};

// Catches a rate conversion that keeps samples from before a seek (they would come out first,
// displacing everything after), block times counted at the source's rate, and a restart that
// does not start the conversion afresh (a second pass from the start would differ).
TEST_P(SeekResampled, LandsWhereAskedAtTheDeliveredRate) {
  const ResampledSeekCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.File(c.file);
  ASSERT_TRUE(Ffmpeg(RampInput(c.source_rate) + " " + c.codec, path));
  std::unique_ptr<MediaStream> media;
  ASSERT_TRUE(MediaStream::Open(path, kAudioStream, EncoderDelivery(c.delivered_rate), media).Ok());
  media->SetRunning(true);
  const PcmFormat format = media->AudioFormat();
  ASSERT_EQ(format.sampleRate, c.delivered_rate);
  const auto first = mmstream_test::ReadAll(*media);
  const auto straight = media_fixtures::Channel(first.pcm, format.bitsPerSample, 2, 0);

  for (double target : {4.0, 1.5, 3.0}) {
    ASSERT_TRUE(media->Seek(static_cast<Time>(target * 1e7)).Ok());
    Time start = -1;
    const auto block = media_fixtures::Channel(ReadSpan(*media, 0.05, &start), format.bitsPerSample, 2, 0);
    ASSERT_FALSE(block.empty()) << target;
    EXPECT_EQ(start, static_cast<Time>(target * 1e7));
    const auto offset = static_cast<std::size_t>(target * c.delivered_rate);
    EXPECT_LE(std::abs(Displacement(straight, offset, block, 2000)), c.precision) << "seek to " << target;
  }
  ASSERT_TRUE(media->Seek(0).Ok());
  const auto again = mmstream_test::ReadAll(*media);
  EXPECT_EQ(again.first_start, 0);
  EXPECT_TRUE(again.pcm == first.pcm);
}

INSTANTIATE_TEST_SUITE_P(Formats, SeekResampled,
                         ::testing::Values(ResampledSeekCase{"Flac22050To44100", "a.flac", "-c:a flac", 22050, 44100, 1},
                                           ResampledSeekCase{"Mp3At48kTo44100", "a.mp3", "-c:a libmp3lame -b:a 192k",
                                                             48000, 44100, 1}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
