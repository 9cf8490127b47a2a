// The encoder's delivery: float where the decoder is float, 16-bit where it is integer, at an
// asked-for rate. Checked against the default delivery of the same file, which has its own tests.
#include "platform/mmstream/media_stream.h"
#include "platform/mmstream/tests/media_fixtures.h"
#include "platform/mmstream/tests/read_all.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace platform::mmstream;
using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;
using media_fixtures::TempDir;
using mmstream_test::ReadAll;

namespace {

struct Opened {
  std::unique_ptr<MediaStream> media;
  mmstream_test::Decoded decoded;
  PcmFormat format;
};

Opened ReadThrough(const std::string& path, const AudioDelivery* delivery) {
  Opened out;
  const Result opened = delivery != nullptr ? MediaStream::Open(path, kAudioStream, *delivery, out.media)
                                            : MediaStream::Open(path, kAudioStream, out.media);
  EXPECT_TRUE(opened.Ok()) << path << ": " << opened.reason;
  if (!out.media) return out;
  out.format = out.media->AudioFormat();
  out.media->SetRunning(true);
  out.decoded = ReadAll(*out.media);
  EXPECT_EQ(out.decoded.final_result.status, Status::EndOfStream);
  return out;
}

std::vector<double> Left(const Opened& opened) {
  return media_fixtures::Channel(opened.decoded.pcm, opened.format.bitsPerSample, opened.format.channels, 0);
}

struct DeliveryCase {
  const char* name;
  const char* file;
  std::string arguments;  // ffmpeg inputs and encoder options
  int asked_rate;         // 0: the source's own
  bool floating;          // delivered
  int channels;
  int bits;
  int rate;
  int frequency;
};

void PrintTo(const DeliveryCase& c, std::ostream* out) { *out << c.name; }

std::vector<DeliveryCase> DeliveryCases() {
  return {
      {"StereoWma", "a.wma", SineInput(1000, 44100, 3) + " -ac 2 -c:a wmav2 -b:a 128k", 44100,
       true, 2, 32, 44100, 1000},
      {"MonoWma22050To44100", "a.wma", SineInput(1000, 22050, 3) + " -ac 1 -c:a wmav2 -b:a 32k", 44100,
       true, 1, 32, 44100, 1000},
      {"Aac48kTo44100", "a.m4a", SineInput(1000, 48000, 3) + " -ac 2 -c:a aac", 44100, true, 2,
       32, 44100, 1000},
      {"FiveOneVorbisKeepsItsRate", "a.ogg", SineInput(1000, 48000, 3) + " -ac 6 -c:a libvorbis", 0,
       true, 2, 32, 48000, 1000},
      {"FloatWav", "a.wav", SineInput(1000, 44100, 3) + " -ac 2 -c:a pcm_f32le", 44100, true, 2, 32,
       44100, 1000},
      {"DoubleWav", "a.wav", SineInput(1000, 44100, 3) + " -ac 2 -c:a pcm_f64le", 44100, true, 2, 32,
       44100, 1000},
      {"Flac48kTo44100", "a.flac", SineInput(1000, 48000, 3) + " -ac 2 -c:a flac", 44100, false, 2, 16,
       44100, 1000},
      {"FlacKeepsItsRate", "a.flac", SineInput(1000, 32000, 3) + " -ac 2 -c:a flac", 0, false, 2, 16,
       32000, 1000},
      // More than 16 bits reach the encoder whole, as float.
      {"TwentyFourBitWav", "a.wav", SineInput(1000, 44100, 3) + " -ac 2 -c:a pcm_s24le", 44100, true, 2,
       32, 44100, 1000},
      {"TwentyFourBitFlac96kTo44100", "a.flac",
       SineInput(1000, 96000, 3) + " -ac 2 -sample_fmt s32 -bits_per_raw_sample 24 -c:a flac", 44100, true, 2, 32,
       44100, 1000},
      {"EightBitWav11025To44100", "a.wav", SineInput(500, 11025, 3) + " -ac 1 -c:a pcm_u8", 44100, false,
       1, 16, 44100, 500},
  };
}

class EncoderDeliveryOf : public ::testing::TestWithParam<DeliveryCase> {};

// Catches a format that says one thing and delivers another, a rate conversion that loses the
// resampler's tail or changes the pitch, block times counted at the source's rate, float samples
// scaled as integers, and 8-bit samples widened without centring (their level would be off).
TEST_P(EncoderDeliveryOf, DeliversTheSameSignalInTheStatedFormatAndRate) {
  const DeliveryCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.File(c.file);
  ASSERT_TRUE(Ffmpeg(c.arguments, path));
  const AudioDelivery delivery{SampleDelivery::kFloatOrSixteenBit, c.asked_rate};
  const Opened asked = ReadThrough(path, &delivery);
  const Opened plain = ReadThrough(path, nullptr);
  ASSERT_TRUE(asked.media && plain.media);

  const PcmFormat& format = asked.format;
  EXPECT_EQ(format, (PcmFormat{c.channels, c.rate, c.bits, c.floating}));

  // The same stretch of time: the default delivery's frames at the source's rate, converted.
  const double frames = static_cast<double>(asked.decoded.pcm.size() / format.BlockAlign());
  const double plain_frames = static_cast<double>(plain.decoded.pcm.size() / plain.format.BlockAlign());
  EXPECT_NEAR(frames, plain_frames * c.rate / plain.format.sampleRate, 2.0);
  EXPECT_EQ(asked.decoded.first_start, 0);
  EXPECT_NEAR(asked.decoded.last_end / 1e7, frames / c.rate, 1e-6);

  const auto left = Left(asked);
  const auto plain_left = Left(plain);
  const std::size_t margin = static_cast<std::size_t>(c.rate / 10);
  EXPECT_NEAR(media_fixtures::Frequency(left, c.rate, margin, left.size() - margin), c.frequency,
              c.frequency * 0.01);
  const auto plain_margin = static_cast<std::size_t>(plain.format.sampleRate / 10);
  const double plain_rms = media_fixtures::Rms(plain_left, plain_margin, plain_left.size() - plain_margin);
  EXPECT_NEAR(media_fixtures::Rms(left, margin, left.size() - margin), plain_rms, plain_rms * 0.02);
}

INSTANTIATE_TEST_SUITE_P(Sources, EncoderDeliveryOf, ::testing::ValuesIn(DeliveryCases()),
                         [](const auto& row) { return std::string(row.param.name); });

struct LoudCase {
  const char* name;
  const char* file;
  std::string arguments;
  int asked_rate;
  double least_peak;  // the delivered peak lies in [least_peak, most_peak]
  double most_peak;
  double rms;
  double rms_tolerance;  // relative
  int frequency;
};

void PrintTo(const LoudCase& c, std::ostream* out) { *out << c.name; }

std::string FullScale(const std::string& expression, int rate) {
  return "-f lavfi -i \"aevalsrc=exprs=" + expression + "|" + expression + ":s=" + std::to_string(rate) + ":d=2\"";
}

class FullScaleFloat : public ::testing::TestWithParam<LoudCase> {};

// Catches float samples that wrap or clip on the way (a conversion through integers), or that
// arrive scaled: full scale stays about ±1.0 with its level and pitch, through a rate
// conversion and through a lossy codec whose decoder overshoots a little.
TEST_P(FullScaleFloat, StaysAboutUnitWithoutWrapping) {
  const LoudCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.File(c.file);
  ASSERT_TRUE(Ffmpeg(c.arguments, path));
  const AudioDelivery delivery{SampleDelivery::kFloatOrSixteenBit, c.asked_rate};
  const Opened asked = ReadThrough(path, &delivery);
  ASSERT_TRUE(asked.media);
  ASSERT_TRUE(asked.format.floatSamples);
  const int rate = asked.format.sampleRate;
  const auto left = Left(asked);
  const std::size_t margin = static_cast<std::size_t>(rate / 10);
  ASSERT_GT(left.size(), 4 * margin);
  double peak = 0.0;
  for (std::size_t i = margin; i < left.size() - margin; ++i) peak = std::max(peak, std::abs(left[i]));
  EXPECT_GE(peak, c.least_peak);
  EXPECT_LE(peak, c.most_peak);
  EXPECT_NEAR(media_fixtures::Rms(left, margin, left.size() - margin), c.rms, c.rms * c.rms_tolerance);
  EXPECT_NEAR(media_fixtures::Frequency(left, rate, margin, left.size() - margin), c.frequency, c.frequency * 0.01);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, FullScaleFloat,
    ::testing::Values(
        // Samples of exactly ±1 pass through untouched.
        LoudCase{"SquareInFloatWav", "a.wav", FullScale("if(lt(mod(t*500\\,1)\\,0.5)\\,1\\,-1)", 44100) +
                                                  " -c:a pcm_f32le",
                 44100, 1.0, 1.0, 1.0, 0.0, 500},
        LoudCase{"SineResampled48kTo44100", "a.wav", FullScale("sin(2*PI*1000*t)", 48000) + " -c:a pcm_f32le",
                 44100, 0.99, 1.02, M_SQRT1_2, 0.01, 1000},
        // The encoder loses a little level at full scale.
        LoudCase{"SineThroughAac", "a.m4a", FullScale("sin(2*PI*1000*t)", 44100) + " -c:a aac -b:a 192k", 44100,
                 0.9, 1.2, M_SQRT1_2, 0.08, 1000},
        LoudCase{"SineThroughWmaTo48k", "a.wma", FullScale("sin(2*PI*1000*t)", 44100) + " -c:a wmav2 -b:a 192k",
                 48000, 0.95, 1.2, M_SQRT1_2, 0.03, 1000}),
    [](const auto& row) { return std::string(row.param.name); });

// Catches 8-bit samples widened off centre or with the wrong scale: each arrives as exactly
// (value - 128) × 256, so silence is 0.
TEST(EncoderDelivery, EightBitSamplesArriveCentredInSixteenBits) {
  TempDir dir;
  const std::string path = dir.File("a.wav");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i \"aevalsrc=exprs=if(lt(t\\,0.5)\\,0\\,0.8*sin(2*PI*440*t))|0:s=8000:d=1\""
                     " -c:a pcm_u8",
                     path));
  const AudioDelivery delivery = EncoderDelivery(0);
  const Opened asked = ReadThrough(path, &delivery);
  const Opened plain = ReadThrough(path, nullptr);
  ASSERT_TRUE(asked.media && plain.media);
  ASSERT_EQ(plain.format.bitsPerSample, 8);
  ASSERT_FALSE(asked.format.floatSamples);
  ASSERT_EQ(asked.format.bitsPerSample, 16);
  ASSERT_EQ(asked.format.channels, 2);
  ASSERT_EQ(asked.decoded.pcm.size(), plain.decoded.pcm.size() * 2);
  int silent = 0;
  for (std::size_t i = 0; i < plain.decoded.pcm.size(); ++i) {
    const auto wide = static_cast<int16_t>(asked.decoded.pcm[2 * i] | (asked.decoded.pcm[2 * i + 1] << 8));
    ASSERT_EQ(wide, (plain.decoded.pcm[i] - 128) * 256) << "sample " << i;
    if (wide == 0) ++silent;
  }
  // The silent half, and the silent right channel of the rest.
  EXPECT_GE(silent, 8000 / 2 + 8000 / 4);
}

TEST(EncoderDelivery, RefusesRatesThatAreNotRates) {
  TempDir dir;
  const std::string path = dir.File("a.wav");
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 0.5), path));
  for (int rate : {-1, 1'000'001}) {
    std::unique_ptr<MediaStream> media;
    EXPECT_EQ(MediaStream::Open(path, kAudioStream, EncoderDelivery(rate), media).status, Status::InvalidArgument)
        << rate;
    EXPECT_FALSE(media) << rate;
  }
}

}  // namespace
