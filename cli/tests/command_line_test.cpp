#include <gtest/gtest.h>

#include <filesystem>

#include "cli/command_line.h"
#include "core/inspection.h"
#include "core/output_name.h"

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
  EXPECT_EQ(o->encoding.channelMode, engine::ChannelMode::Mono);
  EXPECT_TRUE(o->modeGiven);
  EXPECT_EQ(o->tags.title, "T");
  EXPECT_EQ(o->tags.artist, "A");
  EXPECT_EQ(o->tags.genre, "Rock");
  EXPECT_FALSE(o->tags.album.has_value());
  EXPECT_FALSE(o->tags.omitCover);
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
  EXPECT_EQ(o->encoding.channelMode, engine::ChannelMode::JointStereo);
  EXPECT_FALSE(o->modeGiven);
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
  for (const char* year : {"abc", "04", "20045", "2004-13", "2004-05-32", "2004/05", "2004-00", "2004-05-", "2004-5-12"}) {
    EXPECT_EQ(ErrorFor({"--year", year, "a.wma"}), "invalid value \"" + std::string(year) + "\" for --year");
  }
  EXPECT_EQ(ErrorFor({"-x", "a.wma"}), "unknown option -x");
  EXPECT_EQ(ErrorFor({"-j"}), "option --jobs needs a value");
}

// LAME's -V quality: the whole range of rates unless --vbr limits it, in either order.
TEST(ConvertOptions, VbrQualityKeepsOrLeavesTheLimits) {
  struct Row {
    std::vector<std::string> args;
    int quality, low, high;
  } rows[] = {{{"-V", "0", "a.wma"}, 0, 0, 0},
              {{"-V6", "--vbr", "96-192", "a.wma"}, 6, 96, 192},
              {{"--vbr", "96-192", "--vbr-quality=9", "a.wma"}, 9, 96, 192},
              {{"--vbr", "96-192", "a.wma"}, 2, 96, 192}};
  for (const Row& row : rows) {
    std::string error;
    const auto o = ParseOptions(row.args, error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_TRUE(o->encoding.vbr);
    EXPECT_EQ(o->encoding.vbrQuality, row.quality) << row.args[0];
    EXPECT_EQ(o->encoding.vbrMinBitrate, row.low) << row.args[0];
    EXPECT_EQ(o->encoding.vbrMaxBitrate, row.high) << row.args[0];
  }
  EXPECT_EQ(ErrorFor({"-V", "10", "a.wma"}), "invalid value \"10\" for --vbr-quality");
}

// Short options as every other command line takes them: joined with their values and with
// each other.
TEST(ConvertOptions, ShortOptionsTakeJoinedValuesAndClusters) {
  std::string error;
  const auto o = ParseOptions({"-j1", "-b192", "-fq", "-fj2", "-oout/", "--year=2004-05-12", "a.wma"}, error);
  ASSERT_TRUE(o.has_value()) << error;
  EXPECT_EQ(o->jobs, 2);
  EXPECT_EQ(o->encoding.bitrate, 192);
  EXPECT_TRUE(o->force);
  EXPECT_TRUE(o->quiet);
  EXPECT_EQ(o->output, "out/");
  EXPECT_EQ(o->tags.year, "2004-05-12");
  EXPECT_EQ(o->sources, std::vector<std::string>{"a.wma"});
}

TEST(ConvertOptions, OutputGoesBesideTheSourceIntoAFolderOrToTheNamedFile) {
  EXPECT_EQ(OutputPathFor("/music/a.b.wma", "", true), "/music/a.b.mp3");
  EXPECT_EQ(OutputPathFor("song", "", true), "song.mp3");
  EXPECT_EQ(OutputPathFor("/music/a.wma", "/out/x.mp3", true), "/out/x.mp3");
  EXPECT_EQ(OutputPathFor("/music/a.wma", "/out/", true), "/out/a.mp3");
  EXPECT_EQ(OutputPathFor("/music/a.wma", "/out", false), "/out/a.mp3");
  EXPECT_EQ(OutputPathFor("/music/a.wma", "/tmp", true), "/tmp/a.mp3");  // an existing folder
}

namespace {

std::string Repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

struct NamingRow {
  const char* name;
  std::string source;  // a file name
  std::string mp3;     // the MP3's file name
};

class Naming : public ::testing::TestWithParam<NamingRow> {};

}  // namespace

// One naming rule for both programs: the desktop program's new task and tavisto-convert give
// every source the same MP3 name.
TEST_P(Naming, BothProgramsNameTheMp3Alike) {
  const NamingRow& row = GetParam();
  core::Inspection inspection;
  inspection.path = "/nowhere/in/" + row.source;
  inspection.result = core::ReadResult::Ok;
  core::Settings defaults;
  defaults.outputFileDir = "/nowhere/out/";
  const std::string desktop = core::TaskOf(inspection, defaults, core::TaskList{}).outputFile;
  const std::string commandLine = OutputPathFor(inspection.path, "/nowhere/out/", false);
  EXPECT_EQ(desktop, "/nowhere/out/" + row.mp3);
  EXPECT_EQ(commandLine, desktop);
  EXPECT_LE(std::filesystem::path(desktop).filename().string().size(), 255u);
}

INSTANTIATE_TEST_SUITE_P(
    TrickyNames, Naming,
    ::testing::Values(NamingRow{"Plain", "song.wma", "song.mp3"},
                      NamingRow{"OnlyAnExtension", ".wma", ".wma.mp3"},
                      NamingRow{"SeveralDots", "a.b.c.wma", "a.b.c.mp3"},
                      NamingRow{"NoExtension", "song", "song.mp3"},
                      NamingRow{"TrailingDot", "song.", "song.mp3"},
                      NamingRow{"TrailingSpaces", "song.wma  ", "song.mp3"},
                      NamingRow{"DotsAndSpaces", "song .. wma", "song ..mp3"},
                      NamingRow{"NonLatin", "東京 Ωμέγα.wma", "東京 Ωμέγα.mp3"},
                      NamingRow{"FullLengthWithExtension", std::string(251, 'x') + ".wma", std::string(251, 'x') + ".mp3"},
                      // 255 bytes without an extension: the name is shortened to make room.
                      NamingRow{"FullLengthWithoutExtension", std::string(255, 'x'), std::string(251, 'x') + ".mp3"},
                      // Cut between characters, never inside one: 84 + 56 × 3 = 252 bytes
                      // leave no room for ".mp3", and the last three-byte character goes whole.
                      NamingRow{"FullLengthMultiByte", std::string(84, 'y') + Repeated("\u6771", 56),
                                std::string(84, 'y') + Repeated("\u6771", 55) + ".mp3"}),
    [](const auto& row) { return std::string(row.param.name); });
