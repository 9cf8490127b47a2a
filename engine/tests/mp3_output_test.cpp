// The MP3 output end to end: known signals encoded with the real LAME library and decoded back
// with FFmpeg, checked by their sound, their tags and their headers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "decoded_audio.h"
#include "engine/ACS_LAME.h"
#include "engine/task_encoding.h"
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

struct Mp3Output : ::testing::Test {
  MainThread main;
  testsupport::TempDir dir;
  TComponent owner{nullptr};
  TMP3Out* out = new TMP3Out(&owner);
  std::atomic<int> done{0};
  std::vector<std::string> errors;

  void SetUp() override {
    out->OnDone = [this](TComponent*) { ++done; };
    out->OnThreadException = [this](TComponent*, const std::exception& e) { errors.push_back(e.what()); };
  }
  // Runs `input` into `fileName` and waits for the end of the run.
  void Convert(TACSInput* input, const std::string& fileName) {
    out->FileName = fileName;
    out->SetInput(input);
    done = 0;
    errors.clear();
    out->Run();
    ASSERT_TRUE(main.RunUntil([&] { return done > 0 || !errors.empty(); }));
  }
  TToneInput* Tone(int rate, int channels, double seconds, double frequency = 1000.0) {
    return new TToneInput(&owner, rate, channels, static_cast<std::int64_t>(seconds * rate), frequency);
  }
};

struct EncodingCase {
  const char* name;
  int inputRate, inputChannels;
  double frequency;
  TMP3Mode mode;
  TMP3SampleRate outputRate;
  bool vbr;
  int expectedRate, expectedChannels;
};

class Mp3Encodings : public Mp3Output, public ::testing::WithParamInterface<EncodingCase> {};

}  // namespace

// Each signal comes back at the right rate, channel count, length and pitch.
TEST_P(Mp3Encodings, SignalDecodesBackWithItsRateChannelsDurationAndFrequency) {
  const EncodingCase& c = GetParam();
  out->Mode = c.mode;
  out->SampleRate = c.outputRate;
  out->EnableVBR = c.vbr;
  out->WriteVBRHeader = c.vbr;
  out->BitRate = br192;
  const std::string file = dir.File(std::string(c.name) + ".mp3");
  Convert(Tone(c.inputRate, c.inputChannels, 3.0, c.frequency), file);
  ASSERT_TRUE(errors.empty()) << errors[0];
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
        EncodingCase{"stereo_sine", 44100, 2, 1000.0, STEREO, sr41kHz, false, 44100, 2},
        EncodingCase{"joint_stereo_48k", 48000, 2, 440.0, JOINT_STEREO, sr48kHz, false, 48000, 2},
        EncodingCase{"mono_input_as_two_channels", 44100, 1, 1000.0, STEREO, sr41kHz, false, 44100, 2},
        EncodingCase{"mono_mode", 44100, 2, 1000.0, MONO, sr41kHz, false, 44100, 1},
        EncodingCase{"resampled_to_32k", 44100, 2, 1000.0, JOINT_STEREO, sr32kHz, false, 32000, 2},
        EncodingCase{"vbr", 44100, 2, 1000.0, JOINT_STEREO, sr41kHz, true, 44100, 2}),
    [](const auto& param) { return std::string(param.param.name); });

// Every offered bit rate at every offered sample rate gives a complete file. At low rates the
// Info tag does not fit in a frame and the encoder writes none; that is no failure.
struct RateCase {
  TMP3BitRate rate;
  TMP3SampleRate sampleRate;
  bool vbr;
};

class Mp3Rates : public Mp3Output, public ::testing::WithParamInterface<RateCase> {};

TEST_P(Mp3Rates, EveryOfferedRateGivesACompleteFile) {
  const RateCase& c = GetParam();
  out->BitRate = c.rate;
  out->SampleRate = c.sampleRate;
  out->Mode = JOINT_STEREO;
  out->EnableVBR = c.vbr;
  out->WriteVBRHeader = c.vbr;
  out->VBRMinBitrate = BitRateKbps(c.rate);
  out->VBRMaxBitrate = BitRateKbps(c.rate);
  const std::string file = dir.File("rate.mp3");
  std::filesystem::remove(file);
  Convert(Tone(44100, 2, 0.5), file);
  ASSERT_TRUE(errors.empty()) << errors[0];
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
    for (TMP3SampleRate sampleRate : {sr32kHz, sr41kHz, sr48kHz})
      for (int rate = br8; rate <= br320; ++rate) cases.push_back({static_cast<TMP3BitRate>(rate), sampleRate, vbr});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(AllOffered, Mp3Rates, ::testing::ValuesIn(AllOfferedRates()), [](const auto& param) {
  return std::string(param.param.vbr ? "Vbr" : "Cbr") + std::to_string(BitRateKbps(param.param.rate)) + "At" +
         std::to_string(SampleRateHz(param.param.sampleRate));
});

TEST_F(Mp3Output, ConstantBitRateFramesAllCarryTheChosenRateAndAnInfoTag) {
  out->BitRate = br192;
  out->Quality = ql2;
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
TEST_F(Mp3Output, VariableBitRateFileHasAXingTagWithTheRightFrameCount) {
  out->EnableVBR = true;
  out->WriteVBRHeader = true;
  out->VBRQuality = ql2;
  out->VBRMinBitrate = 32;
  out->VBRMaxBitrate = 320;
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

TEST_F(Mp3Output, VbrMinimumAboveMaximumIsExchangedBeforeEncoding) {
  out->EnableVBR = true;
  out->WriteVBRHeader = true;
  out->VBRMinBitrate = 256;
  out->VBRMaxBitrate = 128;
  const std::string file = dir.File("swap.mp3");
  Convert(Tone(44100, 2, 1.0), file);
  EXPECT_EQ(out->VBRMinBitrate, 128);
  EXPECT_EQ(out->VBRMaxBitrate, 256);
  const auto walk = testsupport::WalkFrames(ReadBytes(file));
  for (std::size_t i = 1; i < walk.bitrates.size(); ++i) EXPECT_LE(walk.bitrates[i], 256);
}

TEST_F(Mp3Output, Id3v1TagAtTheEndCarriesTheSevenFieldsEmptyOnesIncluded) {
  out->Id3TagTitle = "Tone Title";
  out->Id3TagArtist = "Caf\u00e9 \u00dcber \u6771\u4eac";
  out->Id3TagAlbum = "";
  out->Id3TagYear = "2024";
  out->Id3TagTrack = "7";
  out->Id3TagComment = "";
  out->Id3TagGenre = "Rock";
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
TEST_F(Mp3Output, TagTextsInAnyLanguageReadBackFromTheId3v2Tag) {
  out->Id3TagTitle = "\u6771\u4eac Nights";
  out->Id3TagArtist = "Caf\u00e9 \u00dcber";
  out->Id3TagAlbum = "Album \u2013 One";
  out->Id3TagYear = "1999";
  out->Id3TagComment = "Converted \u2713";
  out->Id3TagGenre = "Jazz";
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
TEST_F(Mp3Output, StopInTheMiddleLeavesNoFileBehind) {
  out->Id3TagTitle = "Stopped";
  const std::string file = dir.File("stopped.mp3");
  auto* tone = Tone(44100, 2, 60.0);
  out->FileName = file;
  out->SetInput(tone);
  out->Run();
  ASSERT_TRUE(main.RunUntil([&] { return tone->Position() > 44100 * 4 * 2; }));
  out->Stop();
  ASSERT_TRUE(main.RunUntil([&] { return done > 0 || !errors.empty(); }));
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{});
  EXPECT_EQ(tone->flushCount, 1);
}

// A full disk must end the run as an error that names the file and the reason, not a success,
// and must not leave a truncated MP3 under the output name.
TEST_F(Mp3Output, AFailedWriteEndsTheRunWithAnErrorAndLeavesNoFile) {
  const std::string file = dir.File("full.mp3");
  {
    platform::testing::ScopedFileSizeLimit fullDisk(64 * 1024);
    Convert(Tone(44100, 2, 10.0), file);
  }
  EXPECT_EQ(done, 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("\"" + file + "\""), std::string::npos) << errors[0];
  EXPECT_NE(errors[0].find("File too large"), std::string::npos) << errors[0];
  EXPECT_EQ(out->Status(), osIdle);
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{});

  // The output is usable again afterwards.
  Convert(Tone(44100, 2, 1.0), file);
  EXPECT_EQ(done, 1);
  EXPECT_TRUE(DecodeAudioFile(file).ok);
}

// What stands under the output name is never written through, and only replaced when allowed:
// a link (even one pointing nowhere) is replaced itself, never followed; a FIFO or device is no
// file to replace; without ReplaceExisting nothing that exists by the end is touched.
TEST_F(Mp3Output, TheFinishedFileNeverGoesThroughOrOverWhatItMustNot) {
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
    out->ReplaceExisting = c.replace;
    Convert(Tone(44100, 2, 1.0), c.file);
    EXPECT_EQ(done, c.converted ? 1 : 0) << c.file;
    if (!c.converted) {
      ASSERT_EQ(errors.size(), 1u) << c.file;
      EXPECT_NE(errors[0].find("File exists"), std::string::npos) << errors[0];
    }
  }
  EXPECT_FALSE(std::filesystem::exists(elsewhere)) << "the link was followed";
  EXPECT_FALSE(std::filesystem::is_symlink(link));
  EXPECT_TRUE(DecodeAudioFile(link).ok);
  EXPECT_TRUE(DecodeAudioFile(existing).ok);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"existing.mp3", "fifo.mp3", "link.mp3"}));
}

TEST_F(Mp3Output, AnOutputThatCannotStartReportsWhyAndCreatesNothing) {
  struct Case {
    std::string fileName, expected;
  } cases[] = {
      {"", "File name is not assigned."},
      {dir.File("missing-folder/out.mp3"), "No such file or directory"},
  };
  for (const Case& c : cases) {
    auto* tone = Tone(44100, 2, 1.0);
    Convert(tone, c.fileName);
    ASSERT_EQ(errors.size(), 1u) << c.fileName;
    EXPECT_NE(errors[0].find(c.expected), std::string::npos) << errors[0];
    EXPECT_EQ(done, 0);
    EXPECT_EQ(tone->initCount, 0) << "the input is not started when the file cannot be";
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing-folder")));
  }
}

TEST_F(Mp3Output, ConstructorValues) {
  EXPECT_EQ(out->BitRate, br128);
  EXPECT_EQ(out->Quality, ql5);
  EXPECT_EQ(out->SampleRate, srDefault);
  EXPECT_EQ(out->Mode, STEREO);
  EXPECT_FALSE(out->CRC);
  EXPECT_FALSE(out->Copyright);
  EXPECT_TRUE(out->Original);
  EXPECT_FALSE(out->WriteVBRHeader);
  EXPECT_FALSE(out->EnableVBR);
  EXPECT_EQ(out->VBRMinBitrate, 128);
  EXPECT_EQ(out->VBRMaxBitrate, 192);
  EXPECT_EQ(out->FileMode(), foRewrite);
  EXPECT_TRUE(out->SuspendWhenIdle());
  EXPECT_EQ(BitRateKbps(br8), 8);
  EXPECT_EQ(BitRateKbps(br320), 320);
  EXPECT_EQ(SampleRateHz(srDefault), 0);
  EXPECT_EQ(SampleRateHz(sr41kHz), 44100);
}

TEST_F(Mp3Output, TaskSettingsMapOntoTheOutputAsTheRunDoes) {
  TTaskEncoding task;
  task.Bitrate = 160;
  task.ChannelMode = 0;
  task.SampleRate = 48000;
  task.Vbr = true;
  task.Title = "T";
  ApplyTaskEncoding(*out, task);
  EXPECT_EQ(out->BitRate, br160);
  EXPECT_EQ(out->Mode, DUAL_CHANNEL);
  EXPECT_EQ(out->SampleRate, sr48kHz);
  EXPECT_TRUE(out->EnableVBR);
  EXPECT_TRUE(out->WriteVBRHeader);
  EXPECT_EQ(out->Id3TagTitle, "T");

  // A rate outside the table keeps the previous one; unknown rates and modes fall back.
  task.Bitrate = 100;
  task.ChannelMode = 7;
  task.SampleRate = 22050;
  ApplyTaskEncoding(*out, task);
  EXPECT_EQ(out->BitRate, br160);
  EXPECT_EQ(out->Mode, MONO);
  EXPECT_EQ(out->SampleRate, sr41kHz);
  task.ChannelMode = 1;
  ApplyTaskEncoding(*out, task);
  EXPECT_EQ(out->Mode, STEREO);
}
