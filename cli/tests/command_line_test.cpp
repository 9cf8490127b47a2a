#include <gtest/gtest.h>

#include "cli/command_line.h"

using convert::OutputPathFor;
using convert::ParseOptions;

namespace {
std::string ErrorFor(const std::vector<std::string>& args) {
  std::string error;
  EXPECT_FALSE(ParseOptions(args, error).has_value());
  return error;
}
}  // namespace

TEST(ConvertOptions, SettingsAndTagsReachTheEncoding) {
  std::string error;
  const auto o = ParseOptions({"-b", "128", "--vbr=96-256", "-r", "48000", "--mode", "mono", "--title", "T",
                               "--artist=A", "--genre", "Rock", "-f", "a.wma", "--", "-odd.wma"},
                              error);
  ASSERT_TRUE(o.has_value()) << error;
  EXPECT_EQ(o->encoding.bitrate, 128);
  EXPECT_TRUE(o->encoding.vbr);
  EXPECT_EQ(o->encoding.vbrMinBitrate, 96);
  EXPECT_EQ(o->encoding.vbrMaxBitrate, 256);
  EXPECT_EQ(o->encoding.sampleRate, 48000);
  EXPECT_EQ(o->encoding.channelMode, 3);
  EXPECT_EQ(o->tags.title, "T");
  EXPECT_EQ(o->tags.artist, "A");
  EXPECT_EQ(o->tags.genre, "Rock");
  EXPECT_FALSE(o->tags.album.has_value());
  EXPECT_FALSE(o->tags.noCover);
  EXPECT_TRUE(o->force);
  EXPECT_EQ(o->sources, (std::vector<std::string>{"a.wma", "-odd.wma"}));
}

TEST(ConvertOptions, DefaultsAreTheProgramsFirstStartSettings) {
  std::string error;
  const auto o = ParseOptions({"a.wma"}, error);
  ASSERT_TRUE(o.has_value());
  EXPECT_EQ(o->encoding.bitrate, 192);
  EXPECT_FALSE(o->encoding.vbr);
  EXPECT_EQ(o->encoding.sampleRate, 44100);
  EXPECT_EQ(o->encoding.channelMode, 2);
  EXPECT_FALSE(o->force);
}

TEST(ConvertOptions, UsageErrorsSayWhatIsWrong) {
  EXPECT_EQ(ErrorFor({}), "no source file given");
  EXPECT_EQ(ErrorFor({"--bitrate", "100", "a.wma"}), "invalid value \"100\" for --bitrate");
  EXPECT_EQ(ErrorFor({"--vbr", "128", "a.wma"}), "invalid value \"128\" for --vbr");
  EXPECT_EQ(ErrorFor({"-r", "22050", "a.wma"}), "invalid value \"22050\" for --rate");
  EXPECT_EQ(ErrorFor({"--mode", "surround", "a.wma"}), "invalid value \"surround\" for --mode");
  EXPECT_EQ(ErrorFor({"--loud", "a.wma"}), "unknown option --loud");
  EXPECT_EQ(ErrorFor({"a.wma", "--title"}), "option --title needs a value");
  EXPECT_EQ(ErrorFor({"--force=yes", "a.wma"}), "option --force takes no value");
  EXPECT_EQ(ErrorFor({"-j", "0", "a.wma"}), "invalid value \"0\" for --jobs");
  EXPECT_EQ(ErrorFor({"--jobs=65", "a.wma"}), "invalid value \"65\" for --jobs");
  for (const char* track : {"", "0", "three", "3/", "/12", "3/12/1", "-3", "1234567"}) {
    EXPECT_EQ(ErrorFor({"--track", track, "a.wma"}), "invalid value \"" + std::string(track) + "\" for --track");
  }
  EXPECT_EQ(ErrorFor({"--no-cover=yes", "a.wma"}), "option --no-cover takes no value");
}

TEST(ConvertOptions, OutputGoesBesideTheSourceIntoAFolderOrToTheNamedFile) {
  EXPECT_EQ(OutputPathFor("/music/a.b.wma", "", true), "/music/a.b.mp3");
  EXPECT_EQ(OutputPathFor("song", "", true), "song.mp3");
  EXPECT_EQ(OutputPathFor("/music/a.wma", "/out/x.mp3", true), "/out/x.mp3");
  EXPECT_EQ(OutputPathFor("/music/a.wma", "/out/", true), "/out/a.mp3");
  EXPECT_EQ(OutputPathFor("/music/a.wma", "/out", false), "/out/a.mp3");
  EXPECT_EQ(OutputPathFor("/music/a.wma", "/tmp", true), "/tmp/a.mp3");  // an existing folder
}
