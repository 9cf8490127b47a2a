// Media files of many kinds, made with FFmpeg's own encoders and muxers, converted through the
// decoded input into the MP3 output and decoded back.
#include <gtest/gtest.h>

#include "decoded_audio.h"
#include "engine/decoded_input.h"
#include "engine/mp3_output.h"
#include "test_components.h"

using namespace enginetest;
using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;

namespace {

struct Source {
  const char* name;
  const char* file;
  std::string arguments;
  double seconds;
  int frequency;
  Mp3SampleRate outputRate;
  int expectedRate;
  bool fullScale = false;  // the source is a sine at full scale
};

class Conversion : public ::testing::TestWithParam<Source> {};

}  // namespace

TEST_P(Conversion, DecodesBackWithTheSourcesDurationRateChannelsAndPitch) {
  const Source& s = GetParam();
  MainThread main;
  testsupport::TempDir dir;
  const std::string source = dir.File(s.file);
  ASSERT_TRUE(Ffmpeg(s.arguments, source));

  Component owner(nullptr);
  auto* out = new Mp3Output(&owner);
  auto* in = new DecodedInput(&owner);
  in->fileName = source;
  in->deliveryRate = SampleRateHz(s.outputRate);  // as a run decodes: at the MP3's rate
  in->OpenFile();
  out->fileName = dir.File("out.mp3");
  out->SetInput(in);
  out->channelMode = Mp3ChannelMode::JointStereo;
  out->bitRate = Mp3BitRate::Kbps192;
  out->quality = 2;
  out->sampleRate = s.outputRate;
  bool done = false;
  ErrorLog errors;
  out->onDone = [&](Component*) { done = true; };
  out->onError = [&](Component*, const std::exception& e) { errors.Add(e.what()); };
  out->Run();
  ASSERT_TRUE(main.RunUntil([&] { return done || !errors.Empty(); }));
  ASSERT_EQ(errors.At(0), "");
  in->CloseFile();

  // The source's length is what FFmpeg itself decodes from it (some encoders drop a tail).
  const auto original = testsupport::DecodeAudioFile(source);
  ASSERT_TRUE(original.ok);
  EXPECT_NEAR(original.seconds(), s.seconds, 0.05);

  const auto decoded = testsupport::DecodeAudioFile(dir.File("out.mp3"));
  ASSERT_TRUE(decoded.ok) << decoded.error;
  EXPECT_EQ(decoded.sampleRate, s.expectedRate);
  EXPECT_EQ(decoded.channels, 2);
  EXPECT_NEAR(decoded.seconds(), original.seconds(), 1152.0 / s.expectedRate);
  EXPECT_NEAR(decoded.DominantFrequency(0), s.frequency, s.frequency * 0.02);
  EXPECT_NEAR(decoded.DominantFrequency(1), s.frequency, s.frequency * 0.02);
  // Above two channels the downmix lowers the level to rule out clipping, as FFmpeg does.
  EXPECT_GT(decoded.Rms(0), 0.02);
  // A sine at full scale keeps its level (the source's, as FFmpeg decodes it): float samples are
  // neither clipped nor wrapped on the way.
  if (s.fullScale) {
    EXPECT_GT(original.Rms(0), 0.6);
    EXPECT_NEAR(decoded.Rms(0), original.Rms(0), 0.03);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, Conversion,
    ::testing::Values(
        Source{"WmaInAsf", "a.wma", SineInput(1000, 44100, 3) + " -ac 2 -c:a wmav2 -b:a 128k", 3, 1000, Mp3SampleRate::Hz44100, 44100},
        Source{"WmvWithVideo", "a.wmv",
               "-f lavfi -i testsrc=size=160x120:rate=25:duration=3 " + SineInput(1000, 44100, 3) +
                   " -c:v wmv2 -ac 2 -c:a wmav2 -shortest",
               3, 1000, Mp3SampleRate::Hz44100, 44100},
        Source{"MonoEightBitWav", "a.wav", SineInput(500, 11025, 2) + " -ac 1 -c:a pcm_u8", 2, 500, Mp3SampleRate::Hz44100, 44100},
        Source{"MonoAt22050", "a.wma", SineInput(1000, 22050, 2) + " -ac 1 -c:a wmav2 -b:a 32k", 2, 1000, Mp3SampleRate::Hz44100,
               44100},
        Source{"WmaAt48kTo44k", "a.wma", SineInput(1000, 48000, 3) + " -ac 2 -c:a wmav2 -b:a 128k", 3, 1000,
               Mp3SampleRate::Hz44100, 44100},
        Source{"FullScaleFloatWav", "a.wav",
               "-f lavfi -i 'aevalsrc=sin(2*PI*1000*t)|sin(2*PI*1000*t):s=44100:d=2' -c:a pcm_f32le", 2, 1000,
               Mp3SampleRate::Hz44100, 44100, true},
        Source{"FullScaleAacTo48k", "a.m4a",
               "-f lavfi -i 'aevalsrc=0.99*sin(2*PI*1000*t)|0.99*sin(2*PI*1000*t):s=44100:d=2' -c:a aac -b:a 192k", 2, 1000,
               Mp3SampleRate::Hz48000, 48000, true},
        Source{"At48k", "a.flac", SineInput(1000, 48000, 2) + " -ac 2 -c:a flac", 2, 1000, Mp3SampleRate::Hz48000, 48000},
        Source{"FiveOneChannels", "a.flac", SineInput(1000, 44100, 2) + " -ac 6 -c:a flac", 2, 1000, Mp3SampleRate::Hz44100, 44100},
        Source{"SubSecond", "a.wma", SineInput(1000, 44100, 0.5) + " -ac 2 -c:a wmav2", 0.5, 1000, Mp3SampleRate::Hz44100, 44100},
        Source{"Mp3", "a.mp3", SineInput(1000, 44100, 3) + " -ac 2 -c:a libmp3lame -b:a 128k", 3, 1000, Mp3SampleRate::Hz44100, 44100},
        Source{"AacInMp4", "a.mp4", SineInput(1000, 44100, 3) + " -ac 2 -c:a aac", 3, 1000, Mp3SampleRate::Hz44100, 44100},
        Source{"Flac", "a.flac", SineInput(1000, 44100, 3) + " -ac 2 -c:a flac", 3, 1000, Mp3SampleRate::Hz32000, 32000}),
    [](const auto& param) { return std::string(param.param.name); });
