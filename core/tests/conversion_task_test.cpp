#include "core/conversion_task.h"
#include "core/display_text.h"
#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <limits>

using namespace core;

namespace {

class TaskModelTest : public ::testing::Test {
 protected:
  void AppendTitled(const char* title, const char* output = "") {
    ConversionTask task;
    task.title = title;
    task.outputFile = output;
    Tasks.Append(task);
  }

  TaskList Tasks;
};

TEST_F(TaskModelTest, RemovingTheFirstOfThreeMovesTheOthersDownAndKeepsThem) {
  AppendTitled("a");
  AppendTitled("b");
  AppendTitled("c");
  const ConversionTask* last = &Tasks[2];
  EXPECT_TRUE(Tasks.Remove(0));
  ASSERT_EQ(Tasks.Count(), 2);
  EXPECT_EQ(Tasks[0].title, "b");
  EXPECT_EQ(Tasks[1].title, "c");
  EXPECT_EQ(&Tasks[1], last);  // entries are separate records: the list moves, they do not
}

TEST_F(TaskModelTest, StoreCopiesTheWholeTaskBackIncludingChecked) {
  AppendTitled("old");
  ConversionTask edited = Tasks[0];
  edited.title = "new";
  edited.checked = false;
  EXPECT_TRUE(Tasks.Store(0, edited));
  EXPECT_EQ(Tasks[0].title, "new");
  EXPECT_FALSE(Tasks[0].checked);
}

TEST_F(TaskModelTest, IndicesOutsideTheListChangeNothing) {
  AppendTitled("only");
  for (const int index : {-1, 1, 1000}) {
    EXPECT_FALSE(Tasks.Store(index, ConversionTask{}));
    EXPECT_FALSE(Tasks.Remove(index));
  }
  EXPECT_EQ(Tasks.Count(), 1);
  EXPECT_EQ(Tasks[0].title, "only");
}

TEST_F(TaskModelTest, OutputInUseComparesPathsByteForByte) {
  AppendTitled("a", "/home/ann/Music/Song.mp3");
  EXPECT_TRUE(Tasks.WritesTo("/home/ann/Music/Song.mp3"));
  EXPECT_FALSE(Tasks.WritesTo("/home/ann/Music/song.mp3"));
  EXPECT_FALSE(Tasks.WritesTo("/home/ann/Music/Song.mp3 "));
  EXPECT_FALSE(Tasks.WritesTo(""));
}

TEST_F(TaskModelTest, PathsLongerThanATagTextAreKeptWhole) {
  const std::string folder = "/home/ann/" + std::string(300, 'd') + "/";
  ConversionTask task;
  task.sourceFile = folder + "song.wma";
  task.outputFile = folder + "song.mp3";
  Tasks.Append(task);
  EXPECT_EQ(Tasks[0].sourceFile, folder + "song.wma");
  EXPECT_TRUE(Tasks.WritesTo(folder + "song.mp3"));
}

TEST(SizeEstimate, ThreeMinuteAndTwoHundredFiveSecondExamples) {
  EXPECT_EQ(EstimateOutputSize(128, 1'800'000'000), 2966);

  ConversionTask task;
  task.duration = 1'800'000'000;
  task.encoding.bitrate = 128;
  task.encoding.vbrMinBitrate = 128;
  task.encoding.vbrMaxBitrate = 256;
  EXPECT_EQ(EstimateTaskSize(task), 2880);
  task.encoding.vbr = true;
  EXPECT_EQ(EstimateTaskSize(task), 4320);

  task.duration = 2'059'000'000;  // 205.9 s: whole seconds only
  EXPECT_EQ(EstimateTaskSize(task), 4920);
  task.encoding.vbr = false;
  EXPECT_EQ(EstimateTaskSize(task), 3280);
}

TEST(SizeEstimate, ZeroDurationGivesZero) {
  EXPECT_EQ(EstimateOutputSize(128, 0), 0);
  ConversionTask task;
  task.encoding.bitrate = 128;
  EXPECT_EQ(EstimateTaskSize(task), 0);
}

// A header may claim any duration; the estimate must stay a sensible 32-bit number (and the
// conversion defined, which the sanitizer build checks).
TEST(SizeEstimate, HostileDurationsAndRatesStayInRange) {
  constexpr auto kMax64 = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMax32 = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(EstimateOutputSize(320, kMax64), kMax32);
  EXPECT_EQ(EstimateOutputSize(128, -1'800'000'000), 0);
  EXPECT_EQ(EstimateOutputSize(-128, -1'800'000'000), 0);

  ConversionTask task;
  task.duration = kMax64;
  task.encoding.vbr = true;
  task.encoding.vbrMinBitrate = kMax32;
  task.encoding.vbrMaxBitrate = kMax32;
  EXPECT_EQ(EstimateTaskSize(task), kMax32);
  task.encoding.vbr = false;
  task.encoding.bitrate = -128;
  EXPECT_EQ(EstimateTaskSize(task), 0);
}

TEST(DurationText, TruncatesToTenthsWithTwoDigitMinutesAndSeconds) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "0:00:00.0"},
      {999'999, "0:00:00.0"},
      {3'723'450'000, "0:06:12.3"},
      {37'234'500'000, "1:02:03.4"},
      {2'059'000'000, "0:03:25.9"},
      {3'600'000'000'000, "100:00:00.0"},
      {-5'000'000, "0:00:00.0"},
  };
  for (const auto& [duration, text] : cases) EXPECT_EQ(FormatDuration(duration), text) << duration;
}

TEST(SizeText, MegabytesWithTwoDecimals) {
  const std::pair<std::int32_t, const char*> cases[] = {
      {2966, "2.90 MB"}, {2880, "2.81 MB"}, {4320, "4.22 MB"}, {0, "0.00 MB"}, {1024, "1.00 MB"}, {5, "0.00 MB"},
      {std::numeric_limits<std::int32_t>::max(), "2097152.00 MB"},
  };
  for (const auto& [kilobytes, text] : cases) EXPECT_EQ(FormatSize(kilobytes, "."), text) << kilobytes;
}

TEST(SizeText, UsesTheGivenDecimalSeparatorWhateverTheProcessLocale) {
  EXPECT_EQ(FormatSize(2966, ","), "2,90 MB");
}

TEST(TaskTexts, LongTitleIsCutToItsFirst255Characters) {
  ConversionTask task;
  task.title = std::string(300, 't');
  EXPECT_EQ(task.title.str(), std::string(255, 't'));
}

TEST(TaskTexts, MultiByteTextIsCutBetweenCharacters) {
  const std::string kanji = "\xE6\x9D\xB1";  // one character, three bytes
  ConversionTask task;
  task.artist = std::string(254, 'a') + kanji + kanji;
  EXPECT_EQ(task.artist.str(), std::string(254, 'a') + kanji);

  std::string accents;
  for (int i = 0; i < 200; ++i) accents += "\xC3\xA9";  // two bytes each
  task.album = std::string(100, 'a') + accents;
  EXPECT_TRUE(IsValidUtf8(task.album.str()));
  EXPECT_EQ(task.album.str().size(), 100 + 155 * 2u);
}

TEST(TaskTexts, Legacy8BitTagTextsBecomeUtf8) {
  ConversionTask task;
  task.title = "Caf\xE9 \x93Live\x94";
  EXPECT_EQ(task.title, "Caf\xC3\xA9 \xE2\x80\x9CLive\xE2\x80\x9D");
  task.artist = "Caf\xC3\xA9";  // already UTF-8: unchanged
  EXPECT_EQ(task.artist, "Caf\xC3\xA9");
  task.genre = static_cast<const char*>(nullptr);
  EXPECT_TRUE(task.genre.empty());
}

}  // namespace
