// The progress display's arithmetic and texts.
#include <gtest/gtest.h>

#include "engine/progress.h"

using namespace engine;
using namespace std::chrono_literals;

namespace {

constexpr std::int64_t kSecond = 10'000'000;  // 100-ns units

}  // namespace

TEST(TotalPercent, RoundsDownStaysWithinTheBarAndNeverDividesByZero) {
  struct Case {
    std::int64_t done, total;
    int percent;
  } cases[] = {
      {999, 1000, 99},          // 99.9 % is not yet 100
      {1000, 1000, 100},
      {1, 3, 33},
      {2, 3, 66},
      {0, 1000, 0},
      {500, 0, 0},              // nothing to measure against
      {-5, 1000, 0},
      {1500, 1000, 100},        // sources longer than their tasks said
      {INT64_MAX - 1, INT64_MAX, 99},
  };
  for (const Case& c : cases) EXPECT_EQ(TotalPercent(c.done, c.total), c.percent) << c.done << " of " << c.total;
}

TEST(TimeLineText, GivesElapsedAndRemainingTimeOrTheElapsedTimeAloneWhenThereIsNothingToEstimateFrom) {
  struct Case {
    std::chrono::milliseconds elapsed;
    std::int64_t total, done;
    const char* line;
  } cases[] = {
      {70s, 100 * kSecond, 25 * kSecond, "Time elapsed: 0:01:10, remained: about 0:03:30"},
      {70'900ms, 100 * kSecond, 25 * kSecond, "Time elapsed: 0:01:10, remained: about 0:03:32"},
      {5s, 100 * kSecond, 0, "Time elapsed: 0:00:05"},            // nothing converted yet
      {5s, 0, 3 * kSecond, "Time elapsed: 0:00:05"},              // tasks without a length
      {10s, 10 * kSecond, 12 * kSecond, "Time elapsed: 0:00:10, remained: about 0:00:00"},
      {25h + 3min + 4s, 2 * kSecond, 1 * kSecond, "Time elapsed: 25:03:04, remained: about 25:03:04"},
      {-3s, 2 * kSecond, 1 * kSecond, "Time elapsed: 0:00:00, remained: about 0:00:00"},
      {1000h, INT64_MAX, 1, "Time elapsed: 1000:00:00, remained: about 277777777:46:40"},  // capped
  };
  for (const Case& c : cases) EXPECT_EQ(TimeLineText(c.elapsed, c.total, c.done), c.line);
}

TEST(ProgressTexts, CurrentFileAndNothingToConvertReadAsTheWindowShowsThem) {
  EXPECT_EQ(CurrentFileText(2, 5, "My Song"), "Current File(2/5): My Song");
  EXPECT_EQ(NothingToConvertText(),
            "There is nothing to convert!  \nPlease check the checkbox to select conversting tasks.");
  EXPECT_EQ(FailedFileText({"/music/a.wma", "Cannot create file \"/x/a.mp3\": Permission denied"}),
            "The following file can NOT be converted.\n/music/a.wma\nCannot create file \"/x/a.mp3\": Permission denied");
}

TEST(RunEndText, NeverCallsARunWithFailedFilesSuccessfulAndCountsEveryFailure) {
  EXPECT_EQ(RunEndText(false, {}), "All files have been converted successfully.");
  EXPECT_EQ(RunEndText(true, {}), "User has canceled the converting.");
  EXPECT_EQ(RunEndText(false, {{"/m/a.wma", "gone"}}), "1 file could not be converted:\n/m/a.wma");
  EXPECT_EQ(RunEndText(true, {{"/m/a.wma", "x"}, {"/m/b.wma", "y"}}),
            "User has canceled the converting.\n2 files could not be converted:\n/m/a.wma\n/m/b.wma");

  std::vector<TFailedFile> many;
  for (int i = 1; i <= 12; ++i) many.push_back({"/m/" + std::to_string(i) + ".wma", "bad"});
  const std::string text = RunEndText(false, many);
  EXPECT_EQ(text.rfind("12 files could not be converted:\n/m/1.wma\n", 0), 0u) << text;
  EXPECT_NE(text.find("/m/10.wma\n... and 2 more"), std::string::npos) << text;
  EXPECT_EQ(text.find("/m/11.wma"), std::string::npos) << "the message stays short enough to read";
}

TEST(ProgressBarMilliseconds, FitsAnyDurationIntoTheBarsRange) {
  EXPECT_EQ(ProgressBarMilliseconds(3 * kSecond), 3000);
  EXPECT_EQ(ProgressBarMilliseconds(-kSecond), 0);
  EXPECT_EQ(ProgressBarMilliseconds(INT64_MAX), INT_MAX);
}
