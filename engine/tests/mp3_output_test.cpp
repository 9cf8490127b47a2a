// The MP3 output end to end: known signals encoded with the real LAME library and decoded back
// with FFmpeg, checked by their sound, their tags and their headers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "decoded_audio.h"
#include "engine/mp3_output.h"
#include "engine/encoding_settings.h"
#include "platform/paths/tests/test_support.h"
#include "test_components.h"

using namespace enginetest;
using testsupport::DecodeAudioFile;
using testsupport::ReadBytes;

namespace {

// The names in `folder`, hidden ones included, sorted.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

struct Mp3OutputTest : ::testing::Test {
  MainThread main;
  testsupport::TempDir dir;
  Component owner{nullptr};
  Mp3Output* out = new Mp3Output(&owner);
  std::atomic<int> done{0};
  ErrorLog errors;

  void SetUp() override {
    out->onDone = [this](Component*) { ++done; };
    out->onError = [this](Component*, const std::exception& e) { errors.Add(e.what()); };
  }
  // Runs `input` into `fileName` and waits for the end of the run.
  void Convert(AudioInput* input, const std::string& fileName) {
    out->fileName = fileName;
    out->SetInput(input);
    done = 0;
    errors.Clear();
    out->Run();
    ASSERT_TRUE(main.RunUntil([&] { return done > 0 || !errors.Empty(); }));
  }
  ToneInput* Tone(int rate, int channels, double seconds, double frequency = 1000.0) {
    return new ToneInput(&owner, rate, channels, static_cast<std::int64_t>(seconds * rate), frequency);
  }
};

struct EncodingCase {
  const char* name;
  int inputRate, inputChannels;
  double frequency;
  Mp3ChannelMode mode;
  Mp3SampleRate outputRate;
  bool vbr;
  int expectedRate, expectedChannels;
};

class Mp3Encodings : public Mp3OutputTest, public ::testing::WithParamInterface<EncodingCase> {};

}  // namespace

// Each signal comes back at the right rate, channel count, length and pitch.
TEST_P(Mp3Encodings, SignalDecodesBackWithItsRateChannelsDurationAndFrequency) {
  const EncodingCase& c = GetParam();
  out->channelMode = c.mode;
  out->sampleRate = c.outputRate;
  out->vbr = c.vbr;
  out->writeVbrHeader = c.vbr;
  out->bitRate = Mp3BitRate::Kbps192;
  const std::string file = dir.File(std::string(c.name) + ".mp3");
  Convert(Tone(c.inputRate, c.inputChannels, 3.0, c.frequency), file);
  ASSERT_TRUE(errors.Empty()) << errors.At(0);
  ASSERT_EQ(done, 1);

  const auto decoded = DecodeAudioFile(file);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  EXPECT_EQ(decoded.codec, "mp3float");
  EXPECT_EQ(decoded.sampleRate, c.expectedRate);
  EXPECT_EQ(decoded.channels, c.expectedChannels);
  const double frameSeconds = 1152.0 / c.expectedRate;
  EXPECT_NEAR(decoded.seconds(), 3.0, frameSeconds);
  for (int ch = 0; ch < decoded.channels; ++ch) {
    EXPECT_NEAR(decoded.DominantFrequency(ch), c.frequency, c.frequency * 0.02) << "channel " << ch;
    EXPECT_GT(decoded.Rms(ch), 0.2);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Signals, Mp3Encodings,
    ::testing::Values(
        EncodingCase{"stereo_sine", 44100, 2, 1000.0, Mp3ChannelMode::Stereo, Mp3SampleRate::Hz44100, false, 44100, 2},
        EncodingCase{"joint_stereo_48k", 48000, 2, 440.0, Mp3ChannelMode::JointStereo, Mp3SampleRate::Hz48000, false, 48000, 2},
        EncodingCase{"mono_input_as_two_channels", 44100, 1, 1000.0, Mp3ChannelMode::Stereo, Mp3SampleRate::Hz44100, false, 44100, 2},
        EncodingCase{"mono_mode", 44100, 2, 1000.0, Mp3ChannelMode::Mono, Mp3SampleRate::Hz44100, false, 44100, 1},
        EncodingCase{"resampled_to_32k", 44100, 2, 1000.0, Mp3ChannelMode::JointStereo, Mp3SampleRate::Hz32000, false, 32000, 2},
        EncodingCase{"vbr", 44100, 2, 1000.0, Mp3ChannelMode::JointStereo, Mp3SampleRate::Hz44100, true, 44100, 2}),
    [](const auto& param) { return std::string(param.param.name); });

// Every offered bit rate at every offered sample rate gives a complete file. At low rates the
// Info tag does not fit in a frame and the encoder writes none; that is no failure.
struct RateCase {
  Mp3BitRate rate;
  Mp3SampleRate sampleRate;
  bool vbr;
};

class Mp3Rates : public Mp3OutputTest, public ::testing::WithParamInterface<RateCase> {};

TEST_P(Mp3Rates, EveryOfferedRateGivesACompleteFile) {
  const RateCase& c = GetParam();
  out->bitRate = c.rate;
  out->sampleRate = c.sampleRate;
  out->channelMode = Mp3ChannelMode::JointStereo;
  out->vbr = c.vbr;
  out->writeVbrHeader = c.vbr;
  out->vbrMinBitrate = BitRateKbps(c.rate);
  out->vbrMaxBitrate = BitRateKbps(c.rate);
  const std::string file = dir.File("rate.mp3");
  std::filesystem::remove(file);
  Convert(Tone(44100, 2, 0.5), file);
  ASSERT_TRUE(errors.Empty()) << errors.At(0);
  EXPECT_EQ(done, 1);
  const auto decoded = DecodeAudioFile(file);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  EXPECT_EQ(decoded.sampleRate, SampleRateHz(c.sampleRate));
  // Without the Info tag a decoder cannot trim the encoder's delay and padding: up to two frames.
  const auto bytes = ReadBytes(file);
  const int frames = testsupport::ReadXingTag(bytes).present ? 1 : 2;
  EXPECT_NEAR(decoded.seconds(), 0.5, frames * 1152.0 / SampleRateHz(c.sampleRate));
  EXPECT_TRUE(testsupport::WalkFrames(bytes).clean);
}

std::vector<RateCase> AllOfferedRates() {
  std::vector<RateCase> cases;
  for (bool vbr : {false, true})
    for (Mp3SampleRate sampleRate : {Mp3SampleRate::Hz32000, Mp3SampleRate::Hz44100, Mp3SampleRate::Hz48000})
      for (int rate = 0; rate <= static_cast<int>(Mp3BitRate::Kbps320); ++rate)
        cases.push_back({static_cast<Mp3BitRate>(rate), sampleRate, vbr});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(AllOffered, Mp3Rates, ::testing::ValuesIn(AllOfferedRates()), [](const auto& param) {
  return std::string(param.param.vbr ? "Vbr" : "Cbr") + std::to_string(BitRateKbps(param.param.rate)) + "At" +
         std::to_string(SampleRateHz(param.param.sampleRate));
});

TEST_F(Mp3OutputTest, ConstantBitRateFramesAllCarryTheChosenRateAndAnInfoTag) {
  out->bitRate = Mp3BitRate::Kbps192;
  out->quality = 2;
  const std::string file = dir.File("cbr.mp3");
  Convert(Tone(44100, 2, 2.0), file);
  const auto bytes = ReadBytes(file);
  const auto walk = testsupport::WalkFrames(bytes);
  EXPECT_TRUE(walk.clean);
  ASSERT_GT(walk.frames, 70);
  for (int kbps : walk.bitrates) ASSERT_EQ(kbps, 192);
  const auto tag = testsupport::ReadXingTag(bytes);
  EXPECT_TRUE(tag.present);
  EXPECT_EQ(tag.name, "Info");
}

// Without a right frame count in the Xing tag, players show a wrong length for VBR files.
TEST_F(Mp3OutputTest, VariableBitRateFileHasAXingTagWithTheRightFrameCount) {
  out->vbr = true;
  out->writeVbrHeader = true;
  out->vbrQuality = 2;
  out->vbrMinBitrate = 32;
  out->vbrMaxBitrate = 320;
  const std::string file = dir.File("vbr.mp3");
  // A tone that stops half way gives the encoder something to vary its rate over.
  auto* tone = Tone(44100, 2, 4.0, 3000.0);
  Convert(tone, file);
  const auto bytes = ReadBytes(file);
  const auto walk = testsupport::WalkFrames(bytes);
  const auto tag = testsupport::ReadXingTag(bytes);
  ASSERT_TRUE(tag.present);
  EXPECT_EQ(tag.name, "Xing");
  EXPECT_TRUE(walk.clean);
  EXPECT_EQ(tag.frames, walk.frames - 1);  // the tag frame itself is not counted
}

TEST_F(Mp3OutputTest, VbrMinimumAboveMaximumIsExchangedBeforeEncoding) {
  out->vbr = true;
  out->writeVbrHeader = true;
  out->vbrMinBitrate = 256;
  out->vbrMaxBitrate = 128;
  const std::string file = dir.File("swap.mp3");
  Convert(Tone(44100, 2, 1.0), file);
  EXPECT_EQ(out->vbrMinBitrate, 128);
  EXPECT_EQ(out->vbrMaxBitrate, 256);
  const auto walk = testsupport::WalkFrames(ReadBytes(file));
  for (std::size_t i = 1; i < walk.bitrates.size(); ++i) EXPECT_LE(walk.bitrates[i], 256);
}

TEST_F(Mp3OutputTest, Id3v1TagAtTheEndCarriesTheSevenFieldsEmptyOnesIncluded) {
  out->tags.title = "Tone Title";
  out->tags.artist = "Caf\u00e9 \u00dcber \u6771\u4eac";
  out->tags.album = "";
  out->tags.date = "2024";
  out->tags.track = 7;
  out->tags.comment = "";
  out->tags.genre = "Rock";
  const std::string file = dir.File("tagged.mp3");
  Convert(Tone(44100, 2, 1.0), file);
  const auto id3 = testsupport::ReadId3v1(ReadBytes(file));
  ASSERT_TRUE(id3.present);
  EXPECT_EQ(id3.title, "Tone Title");
  EXPECT_EQ(id3.artist, "Caf\xE9 \xDC" "ber ??");  // ID3v1 is Latin-1
  EXPECT_EQ(id3.album, "");
  EXPECT_EQ(id3.year, "2024");
  EXPECT_EQ(id3.track, 7);
  EXPECT_EQ(id3.comment, "");
  EXPECT_EQ(id3.genre, 17);
}

// Texts beyond Latin-1 survive in the ID3v2 tag at the start, which readers prefer.
TEST_F(Mp3OutputTest, TagTextsInAnyLanguageReadBackFromTheId3v2Tag) {
  out->tags.title = "\u6771\u4eac Nights";
  out->tags.artist = "Caf\u00e9 \u00dcber";
  out->tags.album = "Album \u2013 One";
  out->tags.date = "1999";
  out->tags.comment = "Converted \u2713";
  out->tags.genre = "Jazz";
  const std::string file = dir.File("unicode.mp3");
  Convert(Tone(44100, 2, 1.0), file);
  const auto decoded = DecodeAudioFile(file);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.tags.at("title"), "\u6771\u4eac Nights");
  EXPECT_EQ(decoded.tags.at("artist"), "Caf\u00e9 \u00dcber");
  EXPECT_EQ(decoded.tags.at("album"), "Album \u2013 One");
  EXPECT_EQ(decoded.tags.at("date"), "1999");
  EXPECT_EQ(decoded.tags.at("comment"), "Converted \u2713");
  EXPECT_EQ(decoded.tags.at("genre"), "Jazz");
  EXPECT_NEAR(decoded.seconds(), 1.0, 1152.0 / 44100);
  const auto bytes = ReadBytes(file);
  EXPECT_TRUE(testsupport::ReadXingTag(bytes).present) << "the Info frame follows the ID3v2 tag";
  EXPECT_TRUE(testsupport::WalkFrames(bytes).clean);
}

// A stopped run is not a finished file: nothing is left under the output name, nor the
// temporary file it was written to.
TEST_F(Mp3OutputTest, StopInTheMiddleLeavesNoFileBehind) {
  out->tags.title = "Stopped";
  const std::string file = dir.File("stopped.mp3");
  auto* tone = Tone(44100, 2, 60.0);
  out->fileName = file;
  out->SetInput(tone);
  out->Run();
  ASSERT_TRUE(main.RunUntil([&] { return tone->Position() > 44100 * 4 * 2; }));
  out->Stop();
  ASSERT_TRUE(main.RunUntil([&] { return done > 0 || !errors.Empty(); }));
  EXPECT_TRUE(errors.Empty());
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{});
  EXPECT_EQ(tone->flushCount, 1);
}

// A full disk must end the run as an error that names the file and the reason, not a success,
// and must not leave a truncated MP3 under the output name.
TEST_F(Mp3OutputTest, AFailedWriteEndsTheRunWithAnErrorAndLeavesNoFile) {
  const std::string file = dir.File("full.mp3");
  {
    platform::testing::ScopedFileSizeLimit fullDisk(64 * 1024);
    Convert(Tone(44100, 2, 10.0), file);
  }
  EXPECT_EQ(done, 0);
  ASSERT_EQ(errors.Count(), 1u);
  EXPECT_NE(errors.At(0).find("\"" + file + "\""), std::string::npos) << errors.At(0);
  EXPECT_NE(errors.At(0).find("File too large"), std::string::npos) << errors.At(0);
  EXPECT_EQ(out->Status(), OutputStatus::Idle);
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{});

  // The output is usable again afterwards.
  Convert(Tone(44100, 2, 1.0), file);
  EXPECT_EQ(done, 1);
  EXPECT_TRUE(DecodeAudioFile(file).ok);
}

// What stands under the output name is never written through, and only replaced when allowed:
// a link (even one pointing nowhere) is replaced itself, never followed; a FIFO or device is no
// file to replace; without ReplaceExisting nothing that exists by the end is touched.
TEST_F(Mp3OutputTest, TheFinishedFileNeverGoesThroughOrOverWhatItMustNot) {
  const std::string elsewhere = dir.File("elsewhere.bin");
  const std::string link = dir.File("link.mp3");
  const std::string existing = dir.File("existing.mp3");
  const std::string fifo = dir.File("fifo.mp3");
  ASSERT_EQ(::symlink(elsewhere.c_str(), link.c_str()), 0);
  media_fixtures::WriteBytes(existing, {1, 2, 3});
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::string file;
    bool replace;
    bool converted;
  } cases[] = {{link, false, false}, {existing, false, false}, {fifo, true, false}, {link, true, true}, {existing, true, true}};
  for (const Case& c : cases) {
    out->replaceExisting = c.replace;
    Convert(Tone(44100, 2, 1.0), c.file);
    EXPECT_EQ(done, c.converted ? 1 : 0) << c.file;
    if (!c.converted) {
      ASSERT_EQ(errors.Count(), 1u) << c.file;
      EXPECT_NE(errors.At(0).find("File exists"), std::string::npos) << errors.At(0);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(elsewhere)) << "the link was followed";
  EXPECT_FALSE(std::filesystem::is_symlink(link));
  EXPECT_TRUE(DecodeAudioFile(link).ok);
  EXPECT_TRUE(DecodeAudioFile(existing).ok);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"existing.mp3", "fifo.mp3", "link.mp3"}));
}

TEST_F(Mp3OutputTest, AnOutputThatCannotStartReportsWhyAndCreatesNothing) {
  struct Case {
    std::string fileName, expected;
  } cases[] = {
      {"", "File name is not assigned."},
      {dir.File("missing-folder/out.mp3"), "No such file or directory"},
  };
  for (const Case& c : cases) {
    auto* tone = Tone(44100, 2, 1.0);
    Convert(tone, c.fileName);
    ASSERT_EQ(errors.Count(), 1u) << c.fileName;
    EXPECT_NE(errors.At(0).find(c.expected), std::string::npos) << errors.At(0);
    EXPECT_EQ(done, 0);
    EXPECT_EQ(tone->initCount, 0) << "the input is not started when the file cannot be";
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing-folder")));
  }
}

TEST_F(Mp3OutputTest, ConstructorValues) {
  EXPECT_EQ(out->bitRate, Mp3BitRate::Kbps128);
  EXPECT_EQ(out->quality, 5);
  EXPECT_EQ(out->sampleRate, Mp3SampleRate::Source);
  EXPECT_EQ(out->channelMode, Mp3ChannelMode::Stereo);
  EXPECT_FALSE(out->crc);
  EXPECT_FALSE(out->copyright);
  EXPECT_TRUE(out->original);
  EXPECT_FALSE(out->writeVbrHeader);
  EXPECT_FALSE(out->vbr);
  EXPECT_EQ(out->vbrMinBitrate, 128);
  EXPECT_EQ(out->vbrMaxBitrate, 192);
  EXPECT_EQ(out->FileMode(), FileOutputMode::Rewrite);
  EXPECT_TRUE(out->SuspendWhenIdle());
  EXPECT_EQ(BitRateKbps(Mp3BitRate::Kbps8), 8);
  EXPECT_EQ(BitRateKbps(Mp3BitRate::Kbps320), 320);
  EXPECT_EQ(SampleRateHz(Mp3SampleRate::Source), 0);
  EXPECT_EQ(SampleRateHz(Mp3SampleRate::Hz44100), 44100);
}

TEST_F(Mp3OutputTest, TaskSettingsMapOntoTheOutputAsTheRunDoes) {
  EncodingSettings task;
  task.bitrate = 160;
  task.channelMode = 0;
  task.sampleRate = 48000;
  task.vbr = true;
  task.tags.title = "T";
  ConfigureMp3Output(*out, task);
  EXPECT_EQ(out->bitRate, Mp3BitRate::Kbps160);
  EXPECT_EQ(out->channelMode, Mp3ChannelMode::DualChannel);
  EXPECT_EQ(out->sampleRate, Mp3SampleRate::Hz48000);
  EXPECT_TRUE(out->vbr);
  EXPECT_TRUE(out->writeVbrHeader);
  EXPECT_EQ(out->tags.title, "T");

  // A rate outside the table keeps the previous one; unknown rates and modes fall back.
  task.bitrate = 100;
  task.channelMode = 7;
  task.sampleRate = 22050;
  ConfigureMp3Output(*out, task);
  EXPECT_EQ(out->bitRate, Mp3BitRate::Kbps160);
  EXPECT_EQ(out->channelMode, Mp3ChannelMode::Mono);
  EXPECT_EQ(out->sampleRate, Mp3SampleRate::Hz44100);
  task.channelMode = 1;
  ConfigureMp3Output(*out, task);
  EXPECT_EQ(out->channelMode, Mp3ChannelMode::Stereo);
}
