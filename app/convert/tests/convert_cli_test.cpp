// tavisto-convert run as a user runs it: exit codes, messages, files left behind.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

#include "decoded_audio.h"

using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;
using media_fixtures::TempDir;

namespace {

struct Result {
  int status = -1;
  std::string output;  // stdout and stderr together
};

std::string Quote(const std::string& s) { return "'" + s + "'"; }

Result RunConvert(const std::string& arguments) {
  const std::string command = std::string(std::getenv("TAVISTO_CONVERT")) + " " + arguments + " 2>&1";
  Result result;
  FILE* pipe = popen(command.c_str(), "r");
  std::array<char, 4096> chunk{};
  for (std::size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0;) result.output.append(chunk.data(), n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

struct ConvertCli : ::testing::Test {
  TempDir dir;
  std::string Wma(const std::string& name, double seconds = 2) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(Ffmpeg(SineInput(1000, 44100, seconds) + " -ac 2 -c:a wmav2 -b:a 128k", path));
    return path;
  }
};

}  // namespace

TEST_F(ConvertCli, ConvertsBesideTheSourceWithSettingsAndTags) {
  const std::string source = Wma("Song One.wma");
  const Result r = RunConvert("-b 128 -r 48000 --artist 'Caf\u00e9 \u6771\u4eac' --year 2001 " + Quote(source));
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string mp3 = dir.File("Song One.mp3");
  const auto decoded = testsupport::DecodeAudioFile(mp3);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.sampleRate, 48000);
  EXPECT_EQ(decoded.channels, 2);
  EXPECT_NEAR(decoded.seconds(), testsupport::DecodeAudioFile(source).seconds(), 1152.0 / 48000);
  EXPECT_NEAR(decoded.DominantFrequency(), 1000, 20);
  EXPECT_EQ(decoded.tags.at("title"), "Song One");
  EXPECT_EQ(decoded.tags.at("artist"), "Caf\u00e9 \u6771\u4eac");
  EXPECT_EQ(decoded.tags.at("date"), "2001");
  const auto walk = testsupport::WalkFrames(media_fixtures::ReadBytes(mp3));
  for (std::size_t i = 1; i < walk.bitrates.size(); ++i) ASSERT_EQ(walk.bitrates[i], 128);
}

// A converted file keeps the tags its source had, unless the command line gives others.
TEST_F(ConvertCli, TheSourcesOwnTagsAreKeptAndGivenOnesWin) {
  const std::string source = dir.File("tagged.wma");
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 1) +
                         " -c:a wmav2 -metadata title='Caf\u00e9 \u6771\u4eac' -metadata artist=Band -metadata album=Disc",
                     source));
  const Result r = RunConvert("--album Other " + Quote(source));
  ASSERT_EQ(r.status, 0) << r.output;
  const auto decoded = testsupport::DecodeAudioFile(dir.File("tagged.mp3"));
  EXPECT_EQ(decoded.tags.at("title"), "Caf\u00e9 \u6771\u4eac");
  EXPECT_EQ(decoded.tags.at("artist"), "Band");
  EXPECT_EQ(decoded.tags.at("album"), "Other");
}

TEST_F(ConvertCli, AnExistingMp3IsNeverReplacedWithoutForce) {
  const std::string source = Wma("a.wma");
  const std::string mp3 = dir.File("a.mp3");
  media_fixtures::WriteBytes(mp3, {'k', 'e', 'e', 'p'});
  Result r = RunConvert(Quote(source));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("exists (use --force to replace it)"), std::string::npos) << r.output;
  EXPECT_EQ(media_fixtures::ReadBytes(mp3).size(), 4u);
  r = RunConvert("--force " + Quote(source));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(testsupport::DecodeAudioFile(mp3).ok);
}

// Converting an MP3 beside itself would truncate the very file being read.
TEST_F(ConvertCli, AnMp3SourceIsNeverReplacedByItsOwnOutputEvenWithForce) {
  const std::string source = dir.File("x.mp3");
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 1) + " -c:a libmp3lame", source));
  const auto before = media_fixtures::ReadBytes(source);
  const Result r = RunConvert("--force " + Quote(source));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("would replace its own source"), std::string::npos) << r.output;
  EXPECT_EQ(media_fixtures::ReadBytes(source), before);
}

TEST_F(ConvertCli, EachFailedFileGetsOneLineAndTheOthersStillConvert) {
  const std::string good = Wma("good.wma");
  media_fixtures::WriteBytes(dir.File("noise.wma"), media_fixtures::RandomBytes(20000, 3));
  std::filesystem::create_directory(dir.File("out"));
  const Result r = RunConvert("-o " + Quote(dir.File("out")) + " " + Quote(dir.File("missing.wma")) + " " +
                       Quote(dir.File("noise.wma")) + " " + Quote(good));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("missing.wma: No such file or directory\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("noise.wma: Invalid data found when processing input\n"), std::string::npos) << r.output;
  EXPECT_TRUE(testsupport::DecodeAudioFile(dir.File("out/good.mp3")).ok);
  EXPECT_FALSE(std::filesystem::exists(dir.File("out/missing.mp3")));
}

TEST_F(ConvertCli, HelpAndUsageErrors) {
  Result r = RunConvert("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("Usage: tavisto-convert"), std::string::npos);
  r = RunConvert("--bitrate 100 x.wma");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("invalid value \"100\" for --bitrate"), std::string::npos);
}
