// One conversion end to end: media files made by FFmpeg's own encoders and known signals,
// encoded with the real LAME library and decoded back with FFmpeg, checked by their sound, their
// tags, their headers and what is left in the folder.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>

#include "decoded_audio.h"
#include "engine/conversion.h"
#include "engine/lame_library.h"
#include "engine/staged_file.h"
#include "platform/paths/tests/test_support.h"

using namespace engine;
using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;
using testsupport::DecodeAudioFile;
using testsupport::ReadBytes;

namespace {

constexpr double kPi = 3.14159265358979323846;

// The names in `folder`, hidden ones included, sorted.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// A 16-bit WAV of a sine at `frequency` Hz, `seconds` long.
std::string ToneWav(const testsupport::TempDir& dir, const std::string& name, int rate, int channels, double seconds,
                    double frequency = 1000.0) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * rate) * static_cast<std::size_t>(channels));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(i / static_cast<std::size_t>(channels)) / rate;
    samples[i] = static_cast<std::int16_t>(std::lround(16000 * std::sin(2 * kPi * frequency * t)));
  }
  const std::string path = dir.File(name);
  media_fixtures::WriteBytes(path, media_fixtures::PcmWav(samples, channels, rate));
  return path;
}

// Runs one conversion to its end and returns what it reported.
ConversionResult Convert(ConversionRequest request) {
  std::promise<ConversionResult> ended;
  auto result = ended.get_future();
  {
    Conversion conversion(std::move(request), [&](const ConversionResult& r) { ended.set_value(r); });
    if (result.wait_for(std::chrono::seconds(60)) != std::future_status::ready) ADD_FAILURE() << "no end";
  }
  return result.get();
}

ConversionRequest Request(const std::string& source, const std::string& output) {
  ConversionRequest request;
  request.sourceFile = source;
  request.outputFile = output;
  return request;
}

struct Source {
  const char* name;
  const char* file;
  std::string arguments;
  double seconds;
  int frequency;
  int outputRate;
  bool fullScale = false;  // the source is a sine at full scale
};

class Sources : public ::testing::TestWithParam<Source> {};

}  // namespace

TEST_P(Sources, DecodeBackWithTheSourcesDurationRateChannelsAndPitch) {
  const Source& s = GetParam();
  testsupport::TempDir dir;
  const std::string source = dir.File(s.file);
  ASSERT_TRUE(Ffmpeg(s.arguments, source));
  ConversionRequest request = Request(source, dir.File("out.mp3"));
  request.encoding.sampleRate = s.outputRate;
  const ConversionResult result = Convert(request);
  ASSERT_TRUE(result.written) << (result.error ? result.error->detail : "stopped");

  // The source's length is what FFmpeg itself decodes from it (some encoders drop a tail).
  const auto original = DecodeAudioFile(source);
  ASSERT_TRUE(original.ok);
  EXPECT_NEAR(original.seconds(), s.seconds, 0.05);
  const auto decoded = DecodeAudioFile(dir.File("out.mp3"));
  ASSERT_TRUE(decoded.ok) << decoded.error;
  EXPECT_EQ(decoded.sampleRate, s.outputRate);
  EXPECT_EQ(decoded.channels, 2);
  EXPECT_NEAR(decoded.seconds(), original.seconds(), 1152.0 / s.outputRate);
  EXPECT_NEAR(decoded.DominantFrequency(0), s.frequency, s.frequency * 0.02);
  EXPECT_NEAR(decoded.DominantFrequency(1), s.frequency, s.frequency * 0.02);
  // Above two channels the downmix lowers the level to rule out clipping, as FFmpeg does.
  EXPECT_GT(decoded.Rms(0), 0.02);
  // A sine at full scale keeps its level: float samples are neither clipped nor wrapped.
  if (s.fullScale) {
    EXPECT_GT(original.Rms(0), 0.6);
    EXPECT_NEAR(decoded.Rms(0), original.Rms(0), 0.03);
  }
  EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{s.file, "out.mp3"}));
}

INSTANTIATE_TEST_SUITE_P(
    Files, Sources,
    ::testing::Values(
        Source{"WmaInAsf", "a.wma", SineInput(1000, 44100, 3) + " -ac 2 -c:a wmav2 -b:a 128k", 3, 1000, 44100},
        Source{"WmvWithVideo", "a.wmv",
               "-f lavfi -i testsrc=size=160x120:rate=25:duration=3 " + SineInput(1000, 44100, 3) +
                   " -c:v wmv2 -ac 2 -c:a wmav2 -shortest",
               3, 1000, 44100},
        Source{"MonoEightBitWav", "a.wav", SineInput(500, 11025, 2) + " -ac 1 -c:a pcm_u8", 2, 500, 44100},
        Source{"MonoAt22050", "a.wma", SineInput(1000, 22050, 2) + " -ac 1 -c:a wmav2 -b:a 32k", 2, 1000, 44100},
        Source{"WmaAt48kTo44k", "a.wma", SineInput(1000, 48000, 3) + " -ac 2 -c:a wmav2 -b:a 128k", 3, 1000, 44100},
        Source{"FullScaleFloatWav", "a.wav",
               "-f lavfi -i 'aevalsrc=sin(2*PI*1000*t)|sin(2*PI*1000*t):s=44100:d=2' -c:a pcm_f32le", 2, 1000, 44100,
               true},
        Source{"FullScaleAacTo48k", "a.m4a",
               "-f lavfi -i 'aevalsrc=0.99*sin(2*PI*1000*t)|0.99*sin(2*PI*1000*t):s=44100:d=2' -c:a aac -b:a 192k", 2,
               1000, 48000, true},
        Source{"At48k", "a.flac", SineInput(1000, 48000, 2) + " -ac 2 -c:a flac", 2, 1000, 48000},
        Source{"FiveOneChannels", "a.flac", SineInput(1000, 44100, 2) + " -ac 6 -c:a flac", 2, 1000, 44100},
        Source{"SubSecond", "a.wma", SineInput(1000, 44100, 0.5) + " -ac 2 -c:a wmav2", 0.5, 1000, 44100},
        Source{"Mp3", "a.mp3", SineInput(1000, 44100, 3) + " -ac 2 -c:a libmp3lame -b:a 128k", 3, 1000, 44100},
        Source{"AacInMp4", "a.mp4", SineInput(1000, 44100, 3) + " -ac 2 -c:a aac", 3, 1000, 44100},
        Source{"Flac", "a.flac", SineInput(1000, 44100, 3) + " -ac 2 -c:a flac", 3, 1000, 32000}),
    [](const auto& param) { return std::string(param.param.name); });

namespace {

struct ModeCase {
  const char* name;
  int inputChannels;
  ChannelMode mode;
  bool vbr;
  int expectedChannels;
};

class Modes : public ::testing::TestWithParam<ModeCase> {};

}  // namespace

// Each channel mode comes back with its channel count, length and pitch.
TEST_P(Modes, SignalDecodesBackWithItsChannelsDurationAndFrequency) {
  const ModeCase& c = GetParam();
  testsupport::TempDir dir;
  ConversionRequest request = Request(ToneWav(dir, "tone.wav", 44100, c.inputChannels, 3.0), dir.File("out.mp3"));
  request.encoding.channelMode = c.mode;
  request.encoding.vbr = c.vbr;
  ASSERT_TRUE(Convert(request).written);
  const auto decoded = DecodeAudioFile(dir.File("out.mp3"));
  ASSERT_TRUE(decoded.ok) << decoded.error;
  EXPECT_EQ(decoded.codec, "mp3float");
  EXPECT_EQ(decoded.channels, c.expectedChannels);
  EXPECT_NEAR(decoded.seconds(), 3.0, 1152.0 / 44100);
  for (int ch = 0; ch < decoded.channels; ++ch) {
    EXPECT_NEAR(decoded.DominantFrequency(ch), 1000.0, 20.0) << "channel " << ch;
    EXPECT_GT(decoded.Rms(ch), 0.2);
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, Modes,
                         ::testing::Values(ModeCase{"Stereo", 2, ChannelMode::Stereo, false, 2},
                                           ModeCase{"JointStereo", 2, ChannelMode::JointStereo, false, 2},
                                           ModeCase{"DualChannel", 2, ChannelMode::DualChannel, false, 2},
                                           ModeCase{"MonoSourceAsStereo", 1, ChannelMode::Stereo, false, 2},
                                           ModeCase{"Mono", 2, ChannelMode::Mono, false, 1},
                                           ModeCase{"MonoSourceAsMono", 1, ChannelMode::Mono, false, 1},
                                           ModeCase{"Vbr", 2, ChannelMode::JointStereo, true, 2}),
                         [](const auto& param) { return std::string(param.param.name); });

namespace {

// Every offered bit rate at every offered sample rate gives a complete file. At low rates the
// Info tag does not fit in a frame and the encoder writes none; that is no failure.
struct RateCase {
  int kbps;
  int sampleRate;
  bool vbr;
};

class Rates : public ::testing::TestWithParam<RateCase> {};

std::vector<RateCase> AllOfferedRates() {
  std::vector<RateCase> cases;
  for (bool vbr : {false, true})
    for (int sampleRate : kSampleRates)
      for (int kbps : kBitRates) cases.push_back({kbps, sampleRate, vbr});
  return cases;
}

}  // namespace

TEST_P(Rates, EveryOfferedRateGivesACompleteFile) {
  const RateCase& c = GetParam();
  testsupport::TempDir dir;
  ConversionRequest request = Request(ToneWav(dir, "tone.wav", 44100, 2, 0.5), dir.File("rate.mp3"));
  request.encoding.bitrate = c.kbps;
  request.encoding.sampleRate = c.sampleRate;
  request.encoding.vbr = c.vbr;
  request.encoding.vbrMinBitrate = c.kbps;
  request.encoding.vbrMaxBitrate = c.kbps;
  const ConversionResult result = Convert(request);
  ASSERT_TRUE(result.written) << (result.error ? result.error->detail : "stopped");
  const auto decoded = DecodeAudioFile(dir.File("rate.mp3"));
  ASSERT_TRUE(decoded.ok) << decoded.error;
  EXPECT_EQ(decoded.sampleRate, c.sampleRate);
  // Without the Info tag a decoder cannot trim the encoder's delay and padding: up to two frames.
  const auto bytes = ReadBytes(dir.File("rate.mp3"));
  const int frames = testsupport::ReadXingTag(bytes).present ? 1 : 2;
  EXPECT_NEAR(decoded.seconds(), 0.5, frames * 1152.0 / c.sampleRate);
  EXPECT_TRUE(testsupport::WalkFrames(bytes).clean);
}

INSTANTIATE_TEST_SUITE_P(AllOffered, Rates, ::testing::ValuesIn(AllOfferedRates()), [](const auto& param) {
  return std::string(param.param.vbr ? "Vbr" : "Cbr") + std::to_string(param.param.kbps) + "At" +
         std::to_string(param.param.sampleRate);
});

struct ConversionTest : ::testing::Test {
  testsupport::TempDir dir;
};

TEST_F(ConversionTest, ConstantBitRateFramesAllCarryTheChosenRateAndAnInfoTag) {
  ConversionRequest request = Request(ToneWav(dir, "tone.wav", 44100, 2, 2.0), dir.File("cbr.mp3"));
  ASSERT_TRUE(Convert(request).written);
  const auto bytes = ReadBytes(dir.File("cbr.mp3"));
  const auto walk = testsupport::WalkFrames(bytes);
  EXPECT_TRUE(walk.clean);
  ASSERT_GT(walk.frames, 70);
  for (int kbps : walk.bitrates) ASSERT_EQ(kbps, 192);
  const auto tag = testsupport::ReadXingTag(bytes);
  EXPECT_TRUE(tag.present);
  EXPECT_EQ(tag.name, "Info");
}

// Without a right frame count in the Xing tag, players show a wrong length for VBR files; limits
// given the wrong way round are taken the right way round.
TEST_F(ConversionTest, VariableBitRateFileHasAXingTagWithTheRightFrameCountWithinItsLimits) {
  ConversionRequest request = Request(ToneWav(dir, "tone.wav", 44100, 2, 4.0, 3000.0), dir.File("vbr.mp3"));
  request.encoding.vbr = true;
  request.encoding.vbrMinBitrate = 256;
  request.encoding.vbrMaxBitrate = 128;
  ASSERT_TRUE(Convert(request).written);
  const auto bytes = ReadBytes(dir.File("vbr.mp3"));
  const auto walk = testsupport::WalkFrames(bytes);
  const auto tag = testsupport::ReadXingTag(bytes);
  ASSERT_TRUE(tag.present);
  EXPECT_EQ(tag.name, "Xing");
  EXPECT_TRUE(walk.clean);
  EXPECT_EQ(tag.frames, walk.frames - 1);  // the tag frame itself is not counted
  for (std::size_t i = 1; i < walk.bitrates.size(); ++i) EXPECT_LE(walk.bitrates[i], 256);
}

TEST_F(ConversionTest, Id3v1TagAtTheEndCarriesTheSevenFieldsAndTheId3v2TagAnyLanguage) {
  ConversionRequest request = Request(ToneWav(dir, "tone.wav", 44100, 2, 1.0), dir.File("tagged.mp3"));
  request.tags = [] {
    Mp3Tags tags;
    tags.title = "Tone Title";
    tags.artist = "Caf\u00e9 \u00dcber \u6771\u4eac";
    tags.date = "2024";
    tags.track = 7;
    tags.genre = "Rock";
    tags.album = "Album \u2013 One";
    tags.comment = "Converted \u2713";
    return tags;
  };
  ASSERT_TRUE(Convert(request).written);
  const auto bytes = ReadBytes(dir.File("tagged.mp3"));
  const auto id3 = testsupport::ReadId3v1(bytes);
  ASSERT_TRUE(id3.present);
  EXPECT_EQ(id3.title, "Tone Title");
  EXPECT_EQ(id3.artist, "Caf\xE9 \xDC" "ber ??");  // ID3v1 is Latin-1
  EXPECT_EQ(id3.album, "Album ? One");
  EXPECT_EQ(id3.year, "2024");
  EXPECT_EQ(id3.track, 7);
  EXPECT_EQ(id3.genre, 17);
  const auto decoded = DecodeAudioFile(dir.File("tagged.mp3"));
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.tags.at("artist"), "Caf\u00e9 \u00dcber \u6771\u4eac");
  EXPECT_EQ(decoded.tags.at("album"), "Album \u2013 One");
  EXPECT_EQ(decoded.tags.at("comment"), "Converted \u2713");
  EXPECT_NEAR(decoded.seconds(), 1.0, 1152.0 / 44100);
  EXPECT_TRUE(testsupport::ReadXingTag(bytes).present) << "the Info frame follows the ID3v2 tag";
  EXPECT_TRUE(testsupport::WalkFrames(bytes).clean);
}

// A stopped conversion is not a finished file: nothing is left under the output name, nor the
// temporary file it was written to; a paused one holds still until it is stopped.
TEST_F(ConversionTest, StopWhilePausedLeavesNoFileBehind) {
  const std::string source = ToneWav(dir, "tone.wav", 44100, 2, 60.0);
  std::promise<ConversionResult> ended;
  auto result = ended.get_future();
  Conversion conversion(Request(source, dir.File("stopped.mp3")), [&](const ConversionResult& r) { ended.set_value(r); });
  while (conversion.Position() < 40'000'000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  conversion.Pause();
  while (!conversion.Holding()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const std::int64_t held = conversion.Position();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(conversion.Position(), held);
  conversion.Stop();
  const ConversionResult r = result.get();
  EXPECT_TRUE(r.stopped);
  EXPECT_FALSE(r.written);
  EXPECT_FALSE(r.error);
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"tone.wav"});
}

// A full disk must end the conversion as an error that names the file and the reason, not a
// success, and must not leave a truncated MP3 under the output name.
TEST_F(ConversionTest, AFailedWriteEndsInAnErrorAndLeavesNoFile) {
  const std::string source = ToneWav(dir, "tone.wav", 44100, 2, 10.0);
  const std::string file = dir.File("full.mp3");
  ConversionResult result;
  {
    platform::testing::ScopedFileSizeLimit fullDisk(64 * 1024);
    result = Convert(Request(source, file));
  }
  ASSERT_TRUE(result.error);
  EXPECT_EQ(result.error->kind, ConversionError::Kind::OutputWriteFailed);
  EXPECT_EQ(result.error->file, file);
  EXPECT_EQ(result.error->detail, "File too large");
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"tone.wav"});
}

// What stands under the output name is never written through, and only a regular file is ever
// replaced, keeping its permissions: a link (even one pointing nowhere), a FIFO or a folder is
// refused and says what it is.
TEST_F(ConversionTest, OnlyARegularFileIsEverReplacedAndItKeepsItsMode) {
  const std::string source = ToneWav(dir, "tone.wav", 44100, 2, 1.0);
  const std::string elsewhere = dir.File("elsewhere.bin");
  const std::string link = dir.File("link.mp3");
  const std::string existing = dir.File("existing.mp3");
  const std::string fifo = dir.File("fifo.mp3");
  const std::string folder = dir.File("folder.mp3");
  ASSERT_EQ(::symlink(elsewhere.c_str(), link.c_str()), 0);
  media_fixtures::WriteBytes(existing, {1, 2, 3});
  ASSERT_EQ(::chmod(existing.c_str(), 0640), 0);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_directory(folder);
  struct Case {
    std::string file;
    Replace replace;
    std::optional<ConversionError::Kind> failure;
  } cases[] = {{link, Replace::Never, ConversionError::Kind::OutputExists},
               {existing, Replace::Never, ConversionError::Kind::OutputExists},
               {link, Replace::RegularFile, ConversionError::Kind::OutputNotAFile},
               {fifo, Replace::RegularFile, ConversionError::Kind::OutputNotAFile},
               {folder, Replace::RegularFile, ConversionError::Kind::OutputNotAFile},
               {existing, Replace::RegularFile, std::nullopt}};
  for (const Case& c : cases) {
    ConversionRequest request = Request(source, c.file);
    request.replace = c.replace;
    const ConversionResult result = Convert(request);
    EXPECT_EQ(result.written, !c.failure) << c.file;
    if (c.failure) {
      ASSERT_TRUE(result.error) << c.file;
      EXPECT_EQ(result.error->kind, *c.failure) << c.file;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(elsewhere)) << "the link was followed";
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_TRUE(DecodeAudioFile(existing).ok);
  struct stat info {};
  ASSERT_EQ(::stat(existing.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  // For root the replaced file's owner and group stay too (a user's file replaced by an
  // administrator stays the user's).
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(existing.c_str(), 1001, 1002), 0);
    ConversionRequest again = Request(source, existing);
    again.replace = Replace::RegularFile;
    ASSERT_TRUE(Convert(again).written);
    ASSERT_EQ(::stat(existing.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 1001u);
    EXPECT_EQ(info.st_gid, 1002u);
  }
  EXPECT_EQ(FilesIn(dir.Path()),
            (std::vector<std::string>{"existing.mp3", "fifo.mp3", "folder.mp3", "link.mp3", "tone.wav"}));
}

TEST_F(ConversionTest, AConversionThatCannotStartSaysWhyAndCreatesNothing) {
  const std::string source = ToneWav(dir, "tone.wav", 44100, 2, 1.0);
  struct Case {
    std::string source, output;
    ConversionError::Kind kind;
    std::string detail;
  } cases[] = {
      {source, dir.File("missing-folder/out.mp3"), ConversionError::Kind::OutputUncreatable, "No such file or directory"},
      {dir.File("missing.wma"), dir.File("out.mp3"), ConversionError::Kind::SourceUnreadable, "No such file or directory"},
  };
  for (const Case& c : cases) {
    const ConversionResult result = Convert(Request(c.source, c.output));
    ASSERT_TRUE(result.error) << c.output;
    EXPECT_EQ(result.error->kind, c.kind);
    EXPECT_EQ(result.error->detail, c.detail);
  }
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"tone.wav"});
}

// A killed conversion leaves its hidden file; the next one writing into that folder clears it,
// but never the file of a conversion that still runs.
TEST_F(ConversionTest, StaleTemporaryFilesGoButHeldOnesStay) {
  const std::string stale = dir.File(".song.mp3.abc123.part");
  media_fixtures::WriteBytes(stale, {1, 2, 3});
  StagedFile running(dir.File("running.mp3"));
  media_fixtures::WriteBytes(dir.File(".notours.part"), {1});
  EXPECT_EQ(RemoveStaleParts(dir.Path() + "/"), 1);
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(running.TemporaryName()));
  EXPECT_TRUE(std::filesystem::exists(dir.File(".notours.part")));
}

// A finished MP3 is decoded again before it takes its name: one damaged before the check (here
// through the tests' hook) is not kept, and the conversion fails saying why.
TEST_F(ConversionTest, AnMp3ThatDoesNotVerifyIsNotKept) {
  ConversionRequest request = Request(ToneWav(dir, "tone.wav", 44100, 2, 3.0), dir.File("out.mp3"));
  request.beforeVerify = [](const std::string& staged) {
    std::vector<std::uint8_t> bytes = ReadBytes(staged);
    bytes[bytes.size() / 2] ^= 0x40;
    media_fixtures::WriteBytes(staged, bytes);
  };
  const ConversionResult damaged = Convert(request);
  EXPECT_FALSE(damaged.written);
  ASSERT_TRUE(damaged.error);
  EXPECT_EQ(damaged.error->kind, ConversionError::Kind::NotVerified);
  EXPECT_EQ(damaged.error->detail, "the audio differs from what was encoded (its checksum does not match)");
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"tone.wav"});

  request.beforeVerify = nullptr;
  const ConversionResult whole = Convert(request);
  EXPECT_TRUE(whole.written);
  EXPECT_TRUE(whole.verified);
  EXPECT_TRUE(whole.loudness) << "the track's loudness was measured on the way";
}

// Split across workers, a long file is one stream that still verifies and decodes to its length.
TEST_F(ConversionTest, AFileSplitAcrossWorkersVerifiesAndKeepsItsLength) {
  ConversionRequest request = Request(ToneWav(dir, "tone.wav", 44100, 2, 20.0, 440.0), dir.File("out.mp3"));
  request.workers = 3;
  const ConversionResult result = Convert(request);
  ASSERT_TRUE(result.written) << (result.error ? result.error->detail : "stopped");
  EXPECT_TRUE(result.verified);
  const auto decoded = DecodeAudioFile(dir.File("out.mp3"));
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.frames(), 20 * 44100);
}
