// A finished MP3, as a conversion writes it with the real LAME library: verified before it is named
// (a whole file passes, every kind of damage is reported), and given new frames within its tag's
// padding without its audio moving (read back by mutagen, decoded back by FFmpeg).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>

#include <unistd.h>

#include <future>

#include "decoded_audio.h"
#include "engine/conversion.h"
#include "engine/file_stream.h"
#include "engine/mp3_tags.h"
#include "engine/mp3_verify.h"
#include "engine/replay_gain.h"
#include "tag_readers.h"
#include "tagged_sources.h"

using namespace engine;
using testsupport::DecodeAudioFile;
using testsupport::ReadBytes;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr int kRate = 44100;
constexpr std::int64_t kFrames = 3 * kRate + 1234;  // not a whole number of MP3 frames

Mp3Tags SomeTags() {
  Mp3Tags tags;
  tags.title = "Verified Ω";
  tags.album = "Album";
  tags.artists = {"One", "Two"};
  tags.frames = {Id3Frame::Lyrics("la la"), Id3Frame::Popularimeter("Windows Media Player 9 Series", 196)};
  return tags;
}

CoverPicture SomeCover() { return {"image/png", testsupport::CoverImage(true)}; }

// The tag a conversion writes for these tags, and what verification knows of it.
Bytes TagBytes() { return RenderId3v2Tag(SomeTags(), SomeCover()); }
WrittenTag Written() { return WrittenTag::Of(TagBytes()); }

struct FinishedMp3 : ::testing::Test {
  testsupport::TempDir dir;

  // Encodes kFrames of a tone, with SomeTags and SomeCover, into `name` (neither verified nor
  // measured on the way: the tests do that themselves); its path.
  std::string Encode(const std::string& name, int channels = 2) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(kFrames * channels));
    for (std::size_t i = 0; i < samples.size(); ++i)
      samples[i] = static_cast<std::int16_t>(8000 * std::sin(2 * 3.14159265358979 * 440.0 *
                                                              static_cast<double>(i / static_cast<std::size_t>(channels)) / kRate));
    const std::string source = dir.File(name + ".wav");
    media_fixtures::WriteBytes(source, media_fixtures::PcmWav(samples, channels, kRate));
    ConversionRequest request;
    request.sourceFile = source;
    request.outputFile = dir.File(name);
    request.encoding.channelMode = channels == 1 ? ChannelMode::Mono : ChannelMode::JointStereo;
    request.verify = false;
    request.replayGain = false;
    request.tags = [] {
      Mp3Tags tags = SomeTags();
      tags.cover = SomeCover;
      return tags;
    };
    std::promise<ConversionResult> ended;
    auto result = ended.get_future();
    {
      Conversion conversion(request, [&](const ConversionResult& r) { ended.set_value(r); });
      result.wait();
    }
    const ConversionResult r = result.get();
    EXPECT_TRUE(r.written) << (r.error ? r.error->detail : "stopped");
    return dir.File(name);
  }
};

// --- Verification

TEST_F(FinishedMp3, AWholeFilePasses) {
  for (int channels : {1, 2}) {
    const std::string path = Encode("whole" + std::to_string(channels) + ".mp3", channels);
    EXPECT_EQ(VerifyMp3(path, kFrames, Written()), std::nullopt) << channels << " channels";
  }
}

struct Damage {
  const char* name;
  // Changes the file's bytes; `tagSize` is where the audio starts.
  void (*apply)(Bytes& bytes, std::size_t tagSize);
  std::int64_t framesGiven;
  const char* reason;
};
void PrintTo(const Damage& row, std::ostream* out) { *out << row.name; }

// The offset of the text of the first `id` frame in `bytes`.
std::size_t FrameText(const Bytes& bytes, const char* id) {
  const auto found = std::search(bytes.begin(), bytes.end(), id, id + 4);
  return static_cast<std::size_t>(found - bytes.begin()) + 11;
}

const Damage kDamages[] = {
    {"Truncated", [](Bytes& b, std::size_t) { b.resize(b.size() - 3000); }, kFrames,
     "the file is shorter than the encoder wrote it"},
    {"OneByteOfAudioChanged", [](Bytes& b, std::size_t tag) { b[tag + (b.size() - tag) / 2] ^= 0x10; }, kFrames,
     "the audio differs from what was encoded (its checksum does not match)"},
    {"AFrameTwice",
     [](Bytes& b, std::size_t tag) {
       const auto middle = b.begin() + static_cast<std::ptrdiff_t>(tag + (b.size() - tag) / 2);
       b.insert(middle, middle, middle + 417);
     },
     kFrames, "the audio differs from what was encoded (its checksum does not match)"},
    {"TheAlbumOfTheTagChanged", [](Bytes& b, std::size_t) { b[FrameText(b, "TALB")] ^= 0x01; }, kFrames,
     "the tag does not read back: TALB differs"},
    {"APictureByteChanged", [](Bytes& b, std::size_t) { b[FrameText(b, "APIC") + 30] ^= 0x01; }, kFrames,
     "the tag does not read back: APIC differs"},
    {"TheEncodersHeaderChanged", [](Bytes& b, std::size_t tag) { b[tag + 36 + 40] ^= 0x01; }, kFrames,
     "the MP3 header is damaged"},
    {"MoreSamplesGivenThanWritten", [](Bytes&, std::size_t) {}, kFrames + 1000,
     "the decoded length is 133534 samples, 134534 were encoded"},
};

class Damaged : public FinishedMp3, public ::testing::WithParamInterface<Damage> {};

TEST_P(Damaged, IsReportedWithItsReason) {
  const std::string path = Encode("damaged.mp3");
  Bytes bytes = ReadBytes(path);
  GetParam().apply(bytes, TagBytes().size());
  media_fixtures::WriteBytes(path, bytes);
  EXPECT_EQ(VerifyMp3(path, GetParam().framesGiven, Written()).value_or("passed"), GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(Faults, Damaged, ::testing::ValuesIn(kDamages),
                         [](const auto& row) { return std::string(row.param.name); });

// A file whose encoder kept no checksum (no Info frame): its frames are decoded, and a gap in
// them is found by the length.
TEST(VerifyMp3, WithoutTheEncodersChecksumTheDecodeFindsAGap) {
  testsupport::TempDir dir;
  const std::string path = dir.File("plain.mp3");
  ASSERT_TRUE(media_fixtures::Ffmpeg(media_fixtures::SineInput(440, kRate, 3.0) +
                                         " -c:a libmp3lame -b:a 128k -id3v2_version 0 -write_xing 0",
                                     path));
  EXPECT_EQ(VerifyMp3(path, 3 * kRate, {}), std::nullopt);
  Bytes bytes = ReadBytes(path);
  bytes.erase(bytes.begin() + 20000, bytes.begin() + 30000);  // about 60 frames
  media_fixtures::WriteBytes(path, bytes);
  const std::optional<std::string> reason = VerifyMp3(path, 3 * kRate, {});
  ASSERT_TRUE(reason.has_value());
  EXPECT_TRUE(reason->starts_with("the decoded length is") || reason->starts_with("a decoding error at 0:0")) << *reason;
}

TEST(VerifyMp3, WhatIsNoMp3IsReported) {
  testsupport::TempDir dir;
  EXPECT_EQ(VerifyMp3(dir.File("missing.mp3"), 1, {}).value_or("").substr(0, 24), "the file cannot be read:");
  media_fixtures::WriteBytes(dir.File("text.mp3"), Bytes(5000, 'x'));
  EXPECT_TRUE(VerifyMp3(dir.File("text.mp3"), 1, {}).has_value());
}

// --- New frames within the padding

struct Retag {
  const char* name;
  std::vector<std::vector<Id3Frame>> rounds;  // put in one after another
  RetagOutcome outcome;                       // of the last round
  std::map<std::string, std::string> expected;
  std::vector<const char*> absent;
};
void PrintTo(const Retag& row, std::ostream* out) { *out << row.name; }

const Retag kRetags[] = {
    {"TrackAndAlbumGain",
     {ReplayGainFrames(LoudnessResult{-11.67, -6.33, 0.988553}, LoudnessResult{-12.5, -5.5, 1.0})},
     RetagOutcome::Rewritten,
     {{"TXXX:REPLAYGAIN_TRACK_GAIN", "-6.33 dB"}, {"TXXX:REPLAYGAIN_TRACK_PEAK", "0.988553"},
      {"TXXX:REPLAYGAIN_ALBUM_GAIN", "-5.50 dB"}, {"TXXX:REPLAYGAIN_ALBUM_PEAK", "1.000000"},
      {"TIT2", "Verified Ω"}, {"TPE1", "One|Two"}, {"pictures", "1"}},
     {}},
    // The album's values a second time (the album changed): replaced, not added.
    {"AlbumGainTwiceReplaces",
     {{Id3Frame::UserText("replaygain_album_gain", {"-1.00 dB"})}, {Id3Frame::UserText("REPLAYGAIN_ALBUM_GAIN", {"-2.00 dB"})}},
     RetagOutcome::Rewritten,
     {{"TXXX:REPLAYGAIN_ALBUM_GAIN", "-2.00 dB"}, {"POPM:Windows Media Player 9 Series", "196"}},
     {"TXXX:replaygain_album_gain"}},
    {"AFieldIsReplaced", {{Id3Frame::Text("TALB", {"Other Album"})}}, RetagOutcome::Rewritten,
     {{"TALB", "Other Album"}, {"USLT", "eng||la la"}}, {}},
    {"AFrameWithoutValueRemoves", {{Id3Frame::Lyrics("")}}, RetagOutcome::Rewritten, {{"TIT2", "Verified Ω"}}, {"USLT"}},
    {"MoreThanThePaddingHolds", {{Id3Frame::UserText("BIG", {std::string(kId3v2Padding, 'x')})}},
     RetagOutcome::DoesNotFit, {{"TIT2", "Verified Ω"}}, {"TXXX:BIG"}},
};

class WithinPadding : public FinishedMp3, public ::testing::WithParamInterface<Retag> {};

TEST_P(WithinPadding, TheCopyHoldsTheNewFramesAndTheSameAudio) {
  const std::string original = Encode("song.mp3");
  const Bytes originalBytes = ReadBytes(original);
  const std::string copy = dir.File(".song.mp3.part");
  std::string source = original;
  RetagResult result;
  for (const std::vector<Id3Frame>& frames : GetParam().rounds) {
    media_fixtures::WriteBytes(copy, {});  // made by the caller, as a staged file is
    result = RewriteTagInCopy(source, frames, copy);
    if (result.outcome != RetagOutcome::Rewritten) break;
    std::filesystem::rename(copy, original);  // the caller's never-partial rename
  }
  ASSERT_EQ(result.outcome, GetParam().outcome);
  EXPECT_EQ(ReadBytes(original).size(), originalBytes.size()) << "the audio did not move";
  auto frames = testsupport::MutagenId3v2(original);
  for (const auto& [key, value] : GetParam().expected) EXPECT_EQ(frames[key], value) << key;
  for (const char* key : GetParam().absent) EXPECT_EQ(frames.count(key), 0u) << key;
  if (result.outcome != RetagOutcome::Rewritten) {
    EXPECT_EQ(ReadBytes(original), originalBytes);
    EXPECT_TRUE(ReadBytes(copy).empty()) << "nothing written";
    return;
  }
  // Byte for byte the same audio after the tag; the new tag reads back.
  const Bytes now = ReadBytes(original);
  EXPECT_TRUE(std::equal(now.begin() + static_cast<std::ptrdiff_t>(result.tag.size), now.end(),
                         originalBytes.begin() + static_cast<std::ptrdiff_t>(result.tag.size)));
  EXPECT_EQ(VerifyMp3(original, kFrames, result.tag), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Frames, WithinPadding, ::testing::ValuesIn(kRetags),
                         [](const auto& row) { return std::string(row.param.name); });

// A staged file, which has no final name yet, takes its new tag in place.
TEST_F(FinishedMp3, AStagedFileIsRetaggedInPlace) {
  const std::string path = Encode("staged.mp3");
  const RetagResult result = RewriteTagInCopy(path, ReplayGainFrames(LoudnessResult{-20.0, 2.0, 0.5}), path);
  ASSERT_EQ(result.outcome, RetagOutcome::Rewritten);
  EXPECT_EQ(testsupport::MutagenId3v2(path)["TXXX:REPLAYGAIN_TRACK_GAIN"], "2.00 dB");
  EXPECT_EQ(VerifyMp3(path, kFrames, result.tag), std::nullopt);
}

// The same file under another name (a link) is written in place too, never emptied first.
TEST_F(FinishedMp3, TheSameFileByAnotherNameIsRetaggedInPlace) {
  const std::string path = Encode("linked.mp3");
  const Bytes before = ReadBytes(path);
  ASSERT_EQ(link(path.c_str(), dir.File("other-name.mp3").c_str()), 0);
  const RetagResult result = RewriteTagInCopy(path, {Id3Frame::Text("TALB", {"Linked"})}, dir.File("other-name.mp3"));
  ASSERT_EQ(result.outcome, RetagOutcome::Rewritten);
  EXPECT_EQ(ReadBytes(path).size(), before.size());
  EXPECT_EQ(testsupport::MutagenId3v2(path)["TALB"], "Linked");
  EXPECT_EQ(VerifyMp3(path, kFrames, result.tag), std::nullopt);
}

// Tags of hostile bytes: every byte of a real tag changed in turn, and the tag cut at every
// length, are read without a read past the tag (the sanitizer build would stop) and never
// give a tag larger than the one read.
TEST(ParseId3v2Layout, DamagedTagsAreReadWithinTheirBytes) {
  const Bytes tag = RenderId3v2Tag(SomeTags(), SomeCover());
  const std::size_t framesEnd = ParseId3v2Layout(tag.data(), tag.size())->frames.back().offset + 200;
  for (std::size_t at = 0; at < std::min(tag.size(), framesEnd); ++at) {
    for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0x7F}, std::uint8_t{0xFF}}) {
      Bytes damaged = tag;
      damaged[at] = value;
      if (const auto layout = ParseId3v2Layout(damaged.data(), damaged.size())) {
        EXPECT_LE(layout->tagSize, damaged.size());
        for (const RawId3Frame& frame : layout->frames) {
          EXPECT_LE(frame.offset + frame.size, layout->tagSize);
        }
      }
    }
  }
  for (std::size_t size = 0; size < tag.size(); size += 7) {
    const Bytes cut(tag.begin(), tag.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_FALSE(ParseId3v2Layout(cut.data(), cut.size()).has_value()) << size;
  }
}

TEST(RewriteTagInCopy, AFileWithoutATagIsLeftAlone) {
  testsupport::TempDir dir;
  const std::string path = dir.File("bare.mp3");
  ASSERT_TRUE(media_fixtures::Ffmpeg(media_fixtures::SineInput(440, kRate, 0.5) + " -c:a libmp3lame -id3v2_version 0", path));
  media_fixtures::WriteBytes(dir.File("copy.mp3"), {});
  EXPECT_EQ(RewriteTagInCopy(path, ReplayGainFrames(LoudnessResult{-20.0, 2.0, 0.5}), dir.File("copy.mp3")).outcome,
            RetagOutcome::NoTag);
  EXPECT_THROW(RewriteTagInCopy(dir.File("missing.mp3"), {}, dir.File("copy.mp3")), FileError);
}

}  // namespace
