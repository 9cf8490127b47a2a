// Decoding real files of many kinds, generated with the ffmpeg command line.
#include "platform/mmstream/media_stream.h"
#include "platform/mmstream/tests/media_fixtures.h"
#include "platform/mmstream/tests/read_all.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace platform::mmstream;
using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;
using media_fixtures::TempDir;
using mmstream_test::ReadAll;

namespace {

struct SourceCase {
  const char* name;
  const char* file;
  std::string arguments;  // ffmpeg inputs and encoder options
  double seconds;
  int rate;
  int channels;  // delivered
  int bits;      // delivered
  int frequency;
};

void PrintTo(const SourceCase& c, std::ostream* out) { *out << c.name; }

std::vector<SourceCase> Sources() {
  return {
      {"WmaInAsf", "a.wma", SineInput(1000, 44100, 3) + " -ac 2 -c:a wmav2 -b:a 128k", 3, 44100, 2, 16, 1000},
      {"WmvWithWmaAudio", "a.wmv",
       "-f lavfi -i testsrc=size=160x120:rate=25:duration=3 " + SineInput(1000, 44100, 3) +
           " -c:v wmv2 -ac 2 -c:a wmav2 -b:a 128k",
       3, 44100, 2, 16, 1000},
      {"EightBitMonoWav", "a.wav", SineInput(500, 11025, 2) + " -ac 1 -c:a pcm_u8", 2, 11025, 1, 8, 500},
      {"MonoWmaAt22050", "a.wma", SineInput(1000, 22050, 2) + " -ac 1 -c:a wmav2 -b:a 32k", 2, 22050, 1, 16, 1000},
      {"TwentyFourBitAt48k", "a.wav", SineInput(1000, 48000, 2) + " -ac 2 -c:a pcm_s24le", 2, 48000, 2, 16, 1000},
      {"FloatWav", "a.wav", SineInput(1000, 44100, 2) + " -ac 2 -c:a pcm_f32le", 2, 44100, 2, 16, 1000},
      {"FiveOneFlac", "a.flac", SineInput(1000, 44100, 2) + " -ac 6 -c:a flac", 2, 44100, 2, 16, 1000},
      {"SubSecondWma", "a.wma", SineInput(1000, 44100, 0.4) + " -ac 2 -c:a wmav2", 0.4, 44100, 2, 16, 1000},
      {"Mp3", "a.mp3", SineInput(1000, 44100, 3) + " -ac 2 -c:a libmp3lame -b:a 128k", 3, 44100, 2, 16, 1000},
      {"Flac", "a.flac", SineInput(1000, 44100, 3) + " -ac 2 -c:a flac", 3, 44100, 2, 16, 1000},
      {"AacInMp4", "a.m4a", SineInput(1000, 44100, 3) + " -ac 2 -c:a aac", 3, 44100, 2, 16, 1000},
      {"OpusInOggWithPreSkip", "a.ogg", SineInput(1000, 48000, 3) + " -ac 2 -c:a libopus", 3, 48000, 2, 16, 1000},
  };
}

class DecodeSource : public ::testing::TestWithParam<SourceCase> {};

// Catches wrong formats, lost or invented samples (priming, padding), broken block times and
// garbled PCM (a converted sine keeps its pitch).
TEST_P(DecodeSource, DeliversTheWholeSignalInTheStatedFormat) {
  const SourceCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.File(c.file);
  ASSERT_TRUE(Ffmpeg(c.arguments, path));

  std::unique_ptr<MediaStream> media;
  ASSERT_TRUE(MediaStream::Open(path, kAudioStream, media).Ok());
  ASSERT_TRUE(media->HasAudio());
  EXPECT_FALSE(media->HasVideo());

  const PcmFormat& format = media->AudioFormat();
  EXPECT_FALSE(format.floatSamples);
  EXPECT_EQ(format.channels, c.channels);
  EXPECT_EQ(format.bitsPerSample, c.bits);
  EXPECT_EQ(format.sampleRate, c.rate);
  // Containers count their own preroll and padding; ASF adds up to a tenth of a second.
  EXPECT_NEAR(media->Duration() / 1e7, c.seconds, 0.1);

  media->SetRunning(true);
  const auto decoded = ReadAll(*media);
  EXPECT_EQ(decoded.final_result.status, Status::EndOfStream);
  EXPECT_EQ(decoded.first_start, 0);
  const double frames = static_cast<double>(decoded.pcm.size() / format.BlockAlign());
  // Within one codec frame (at most 2048 samples here) of the generated length.
  EXPECT_NEAR(frames, c.seconds * c.rate, 2048.0);
  EXPECT_NEAR(decoded.last_end / 1e7, frames / c.rate, 1e-6);

  const auto left = media_fixtures::Channel(decoded.pcm, c.bits, c.channels, 0);
  const std::size_t margin = static_cast<std::size_t>(c.rate / 20);
  EXPECT_NEAR(media_fixtures::Frequency(left, c.rate, margin, left.size() - margin), c.frequency,
              c.frequency * 0.02);
}

INSTANTIATE_TEST_SUITE_P(Formats, DecodeSource, ::testing::ValuesIn(Sources()),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace

namespace {

std::unique_ptr<MediaStream> OpenRunning(const std::string& path, unsigned streams = kAudioStream) {
  std::unique_ptr<MediaStream> media;
  EXPECT_TRUE(MediaStream::Open(path, streams, media).Ok()) << path;
  if (media) media->SetRunning(true);
  return media;
}

double FrequencyOf(const mmstream_test::Decoded& decoded, const PcmFormat& format, int channel,
                   double from_seconds, double to_seconds) {
  const auto signal = media_fixtures::Channel(decoded.pcm, format.bitsPerSample, format.channels, channel);
  return media_fixtures::Frequency(signal, format.sampleRate,
                                   static_cast<std::size_t>(from_seconds * format.sampleRate),
                                   static_cast<std::size_t>(to_seconds * format.sampleRate));
}

// Catches a downmix that swaps or merges the front channels of a 5.1 source.
TEST(Downmix, FiveOneKeepsLeftAndRightApart) {
  TempDir dir;
  const std::string path = dir.File("surround.flac");
  ASSERT_TRUE(Ffmpeg(
      "-f lavfi -i \"aevalsrc=exprs=0.5*sin(2*PI*1000*t)|0.5*sin(2*PI*500*t)|0|0|0|0:s=44100:d=2:c=5.1\""
      " -c:a flac",
      path));
  auto media = OpenRunning(path);
  ASSERT_TRUE(media);
  ASSERT_EQ(media->AudioFormat().channels, 2);
  const auto decoded = ReadAll(*media);
  EXPECT_NEAR(FrequencyOf(decoded, media->AudioFormat(), 0, 0.1, 1.9), 1000, 20);
  EXPECT_NEAR(FrequencyOf(decoded, media->AudioFormat(), 1, 0.1, 1.9), 500, 10);
}

std::vector<int16_t> ToneInFirstChannel(int channels, int rate, double seconds, int frequency) {
  const int frames = static_cast<int>(rate * seconds);
  std::vector<int16_t> samples(static_cast<std::size_t>(frames) * channels, 0);
  for (int i = 0; i < frames; ++i) {
    samples[static_cast<std::size_t>(i) * channels] =
        static_cast<int16_t>(12000 * std::sin(2 * M_PI * frequency * i / rate));
    if (channels > 1) {
      samples[static_cast<std::size_t>(i) * channels + 1] =
          static_cast<int16_t>(12000 * std::sin(M_PI * frequency * i / rate));
    }
  }
  return samples;
}

// A WAV without a channel mask does not say which channel is which: three channels are read
// as the standard three-channel layout, eleven (no standard layout) are mixed plainly. Either
// way the stream opens and the first channel lands on the left.
TEST(Downmix, SourcesWithoutChannelNamesStillDownmix) {
  for (int channels : {3, 11}) {
    TempDir dir;
    const std::string path = dir.File("unnamed.wav");
    media_fixtures::WriteBytes(path, media_fixtures::PcmWav(ToneInFirstChannel(channels, 44100, 1, 1000), channels, 44100));
    auto media = OpenRunning(path);
    ASSERT_TRUE(media) << channels;
    ASSERT_EQ(media->AudioFormat().channels, 2) << channels;
    const auto decoded = ReadAll(*media);
    EXPECT_EQ(decoded.pcm.size(), 44100u * 4) << channels;
    EXPECT_NEAR(FrequencyOf(decoded, media->AudioFormat(), 0, 0.05, 0.95), 1000, 20) << channels;
    EXPECT_NEAR(FrequencyOf(decoded, media->AudioFormat(), 1, 0.05, 0.95), 500, 10) << channels;
  }
}

// Catches a stream that changes rate and channels mid-way being delivered at the new rate under
// the old format (wrong pitch and length) or failing. ADTS frames each carry their own format.
TEST(FormatChange, RateAndChannelChangeKeepTheOpeningFormat) {
  TempDir dir;
  const std::string first = dir.File("first.aac");
  const std::string second = dir.File("second.aac");
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 1) + " -ac 2 -c:a aac", first));
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 22050, 1) + " -ac 1 -c:a aac", second));
  auto bytes = media_fixtures::ReadBytes(first);
  const auto tail = media_fixtures::ReadBytes(second);
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  const std::string joined = dir.File("joined.aac");
  media_fixtures::WriteBytes(joined, bytes);

  auto media = OpenRunning(joined);
  ASSERT_TRUE(media);
  EXPECT_EQ(media->AudioFormat().sampleRate, 44100);
  EXPECT_EQ(media->AudioFormat().channels, 2);
  const auto decoded = ReadAll(*media);
  EXPECT_EQ(decoded.final_result.status, Status::EndOfStream);
  // Each part carries up to a frame and a half of encoder padding.
  EXPECT_NEAR(decoded.last_end / 1e7, 2.0, 0.15);
  EXPECT_NEAR(FrequencyOf(decoded, media->AudioFormat(), 0, 1.3, 1.9), 1000, 20);
  EXPECT_NEAR(FrequencyOf(decoded, media->AudioFormat(), 1, 1.3, 1.9), 1000, 20);
}

// Cover art is a picture, not video: an MP3 with one opens as audio only.
TEST(StreamChoice, CoverPictureIsNotVideo) {
  TempDir dir;
  const std::string path = dir.File("cover.mp3");
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 1) +
                         " -f lavfi -i color=c=red:s=64x64:d=1 -map 0:a -map 1:v -frames:v 1"
                         " -c:a libmp3lame -c:v mjpeg -disposition:v attached_pic -id3v2_version 3",
                     path));
  std::unique_ptr<MediaStream> media;
  ASSERT_TRUE(MediaStream::Open(path, kAudioStream | kVideoStream, media).Ok());
  EXPECT_TRUE(media->HasAudio());
  EXPECT_FALSE(media->HasVideo());
  EXPECT_EQ(media->VideoFormat(), FrameFormat{});
}

TEST(StreamChoice, AudioOnlyOpenOfAVideoFileHasNoVideo) {
  TempDir dir;
  const std::string path = dir.File("movie.wmv");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=1 " + SineInput(1000, 44100, 1) +
                         " -c:v wmv2 -c:a wmav2",
                     path));
  std::unique_ptr<MediaStream> media;
  ASSERT_TRUE(MediaStream::Open(path, kAudioStream, media).Ok());
  EXPECT_TRUE(media->HasAudio());
  EXPECT_FALSE(media->HasVideo());
  Time start = 0;
  Time end = 0;
  uint8_t frame[16];
  EXPECT_EQ(media->ReadVideoFrame(frame, sizeof frame, start, end).status, Status::NoStream);
}

// Catches bytes lost or repeated where a read ends inside a decoded frame.
TEST(Reading, BufferSizeDoesNotChangeTheDecodedBytes) {
  TempDir dir;
  const std::string path = dir.File("a.mp3");
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 1) + " -ac 2 -c:a libmp3lame", path));
  std::vector<uint8_t> reference;
  for (uint32_t size : {65536u, 4u, 1001u, 4608u}) {
    auto media = OpenRunning(path);
    ASSERT_TRUE(media);
    const auto decoded = ReadAll(*media, size);
    if (reference.empty()) {
      reference = decoded.pcm;
      ASSERT_FALSE(reference.empty());
    } else {
      EXPECT_TRUE(decoded.pcm == reference) << "buffer of " << size << " bytes";
    }
  }
}

TEST(Reading, RefusesReadsWhenStoppedOrTooSmall) {
  TempDir dir;
  const std::string path = dir.File("a.wav");
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 1) + " -ac 2", path));
  std::unique_ptr<MediaStream> media;
  ASSERT_TRUE(MediaStream::Open(path, kAudioStream, media).Ok());
  uint8_t buffer[64];
  uint32_t bytes = 99;
  Time start = 0;
  Time end = 0;
  EXPECT_EQ(media->ReadAudio(buffer, sizeof buffer, bytes, start, end).status, Status::NotRunning);
  EXPECT_EQ(bytes, 0u);
  media->SetRunning(true);
  // Less than one frame, and no buffer.
  EXPECT_EQ(media->ReadAudio(buffer, 3, bytes, start, end).status, Status::InvalidArgument);
  EXPECT_EQ(media->ReadAudio(nullptr, 64, bytes, start, end).status, Status::InvalidArgument);
  EXPECT_TRUE(media->ReadAudio(buffer, 63, bytes, start, end).Ok());
  EXPECT_EQ(bytes, 60u);  // whole sample frames only
  media->SetRunning(false);
  EXPECT_EQ(media->ReadAudio(buffer, sizeof buffer, bytes, start, end).status, Status::NotRunning);
}

struct DamageCase {
  const char* name;
  const char* file;
  std::string arguments;
};

void PrintTo(const DamageCase& c, std::ostream* out) { *out << c.name; }

class DamagedMiddle : public ::testing::TestWithParam<DamageCase> {};

// A damaged stretch inside a good file costs its own samples only: the rest still decodes and
// the stream ends normally, as players handle it.
TEST_P(DamagedMiddle, SkipsTheDamageAndDecodesTheRest) {
  TempDir dir;
  const std::string path = dir.File(GetParam().file);
  ASSERT_TRUE(Ffmpeg(GetParam().arguments, path));
  auto bytes = media_fixtures::ReadBytes(path);
  const std::size_t from = bytes.size() * 45 / 100;
  const auto noise = media_fixtures::RandomBytes(bytes.size() / 20, 7);
  std::copy(noise.begin(), noise.end(), bytes.begin() + static_cast<std::ptrdiff_t>(from));
  media_fixtures::WriteBytes(path, bytes);

  auto media = OpenRunning(path);
  ASSERT_TRUE(media);
  const auto decoded = ReadAll(*media);
  EXPECT_EQ(decoded.final_result.status, Status::EndOfStream);
  EXPECT_GT(decoded.last_end / 1e7, 3.0);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DamagedMiddle,
    ::testing::Values(DamageCase{"Mp3", "a.mp3", SineInput(1000, 44100, 4) + " -ac 2 -c:a libmp3lame"},
                      DamageCase{"Wma", "a.wma", SineInput(1000, 44100, 4) + " -ac 2 -c:a wmav2"},
                      DamageCase{"Flac", "a.flac", SineInput(1000, 44100, 4) + " -ac 2 -c:a flac"}),
    [](const auto& row) { return std::string(row.param.name); });

// Megabytes of noise behind a few good frames must end (with the end or an error), never hang.
TEST(Reading, LongNoiseAfterGoodFramesEnds) {
  TempDir dir;
  const std::string path = dir.File("noise.mp3");
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 1) + " -ac 2 -c:a libmp3lame -write_xing 0", path));
  auto bytes = media_fixtures::ReadBytes(path);
  bytes.resize(4096);
  const auto noise = media_fixtures::RandomBytes(4u << 20, 11);
  bytes.insert(bytes.end(), noise.begin(), noise.end());
  media_fixtures::WriteBytes(path, bytes);

  std::unique_ptr<MediaStream> media;
  const Result opened = MediaStream::Open(path, kAudioStream, media);
  if (!opened.Ok()) {
    EXPECT_NE(opened.reason, "");
    return;
  }
  media->SetRunning(true);
  const auto decoded = ReadAll(*media, 65536);
  EXPECT_NE(decoded.final_result.status, Status::Ok);
  EXPECT_NE(decoded.final_result.reason, "");
}

}  // namespace
