// The progress display's arithmetic and end-of-run text.
#include <gtest/gtest.h>

#include "engine/progress.h"

using namespace engine;
using namespace std::chrono_literals;

constexpr std::int64_t kSecond = 10'000'000;  // 100-ns units

TEST(TotalPercent, RoundsDownAndNeverDividesByZero) {
  EXPECT_EQ(TotalPercent(999, 1000), 99);  // not 100 before the last file has finished
  EXPECT_EQ(TotalPercent(1000, 1000), 100);
  EXPECT_EQ(TotalPercent(500, 0), 0);
  EXPECT_EQ(TotalPercent(1500, 1000), 100);  // sources longer than their tasks said
  EXPECT_EQ(TotalPercent(INT64_MAX - 1, INT64_MAX), 99);
}

TEST(TimeLineText, ShowsNoEstimateBeforeAnythingIsDoneAndDoesNotWrapAtADay) {
  EXPECT_EQ(TimeLineText(70'900ms, 100 * kSecond, 25 * kSecond), "Time elapsed: 0:01:10, remained: about 0:03:32");
  EXPECT_EQ(TimeLineText(5s, 100 * kSecond, 0), "Time elapsed: 0:00:05");
  EXPECT_EQ(TimeLineText(5s, 0, 3 * kSecond), "Time elapsed: 0:00:05");
  EXPECT_EQ(TimeLineText(25h + 3min + 4s, 2, 1), "Time elapsed: 25:03:04, remained: about 25:03:04");
  EXPECT_EQ(TimeLineText(10s, 10 * kSecond, 12 * kSecond), "Time elapsed: 0:00:10, remained: about 0:00:00");
  EXPECT_EQ(TimeLineText(1000h, INT64_MAX, 1), "Time elapsed: 1000:00:00, remained: about 277777777:46:40");
}

TEST(RunEndText, NeverCallsARunWithFailedFilesSuccessfulAndCountsEveryFailure) {
  EXPECT_EQ(RunEndText(false, {}), "All files have been converted successfully.");
  EXPECT_EQ(RunEndText(true, {{"/m/a.wma", "x"}, {"/m/b.wma", "y"}}),
            "User has canceled the converting.\n2 files could not be converted:\n/m/a.wma\n/m/b.wma");
  std::vector<TFailedFile> many;
  for (int i = 1; i <= 12; ++i) many.push_back({"/m/" + std::to_string(i) + ".wma", "bad"});
  const std::string text = RunEndText(false, many);
  EXPECT_EQ(text.rfind("12 files could not be converted:\n/m/1.wma\n", 0), 0u) << text;
  EXPECT_EQ(text.substr(text.find("/m/10.wma")), "/m/10.wma\n... and 2 more") << "short enough to read";
}
