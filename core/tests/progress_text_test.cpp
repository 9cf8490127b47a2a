// The progress display's arithmetic and end-of-run text.
#include <gtest/gtest.h>

#include "core/conversion_run.h"
#include "core/progress_text.h"
#include "engine/conversion.h"

using namespace core;
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
  EXPECT_EQ(TimeLineText(70'900ms, 100 * kSecond, 25 * kSecond), "Time elapsed: 0:01:10, remaining: about 0:03:32");
  EXPECT_EQ(TimeLineText(5s, 100 * kSecond, 0), "Time elapsed: 0:00:05");
  EXPECT_EQ(TimeLineText(5s, 0, 3 * kSecond), "Time elapsed: 0:00:05");
  EXPECT_EQ(TimeLineText(25h + 3min + 4s, 2, 1), "Time elapsed: 25:03:04, remaining: about 25:03:04");
  EXPECT_EQ(TimeLineText(10s, 10 * kSecond, 12 * kSecond), "Time elapsed: 0:00:10, remaining: about 0:00:00");
  EXPECT_EQ(TimeLineText(1000h, INT64_MAX, 1), "Time elapsed: 1000:00:00, remaining: about 277777777:46:40");
}

TEST(RunEndText, NeverCallsARunWithFailedFilesSuccessfulAndNamesEveryFailureWithItsReason) {
  EXPECT_EQ(RunEndText({.converted = 3}), "All files have been converted successfully.\n3 converted");
  EXPECT_EQ(RunEndText({.cancelled = true, .failures = {{"/m/a.wma", "x"}, {"/m/b.wma", "y"}}}),
            "The conversion was cancelled.\n0 converted, 2 failed\n2 files could not be converted:\n/m/a.wma: x\n/m/b.wma: y");
  RunOutcome many;
  for (int i = 1; i <= 12; ++i) many.failures.push_back({"/m/" + std::to_string(i) + ".wma", "bad"});
  const std::string text = RunEndText(many);
  EXPECT_EQ(text.rfind("0 converted, 12 failed\n12 files could not be converted:\n/m/1.wma: bad\n", 0), 0u) << text;
  EXPECT_EQ(text.substr(text.find("/m/12.wma")), "/m/12.wma: bad") << "every file is named";
  // A file that came out shorter than its source declares is named with the reason; the run
  // does not read as flawless.
  EXPECT_EQ(RunEndText({.converted = 1, .warnings = {{"/m/cut.wma", "only 1.9 of 20.0"}}}),
            "All files have been converted successfully.\n1 converted, 1 with a warning\n"
            "1 file was converted with a warning:\n/m/cut.wma: only 1.9 of 20.0");
  // A skipped file was not converted: the run says how many, and not that all were.
  EXPECT_EQ(RunEndText({.converted = 2, .skipped = 1}), "2 converted, 1 skipped");
}

// Counts go through the number format the caller hands in: the core knows no locale.
std::string Dotted(std::int64_t number) {
  std::string digits = std::to_string(number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ".");
  return digits;
}

TEST(RunCountsText, CountsGoThroughTheNumberFormat) {
  RunOutcome outcome{.converted = 1234};
  outcome.failures.assign(1001, {"/m/a.wma", "x"});
  outcome.skipped = 2;
  EXPECT_EQ(RunCountsText(outcome, EnglishText, Dotted), "1.234 converted, 1.001 failed, 2 skipped");
  EXPECT_EQ(RunEndText(outcome, EnglishText, Dotted).find("\n1.001 files could not be converted:"),
            std::string("1.234 converted, 1.001 failed, 2 skipped").size());
}

// How much shorter than declared a decode may come out before the user is told: a second, or
// 2 % of a long source, since containers often state their length only roughly.
TEST(ShortDecodeWarning, WarnsBeyondASecondOrTwoPercent) {
  constexpr std::int64_t s = 10'000'000;
  const struct {
    std::int64_t declared, decoded;
    bool warns;
  } cases[] = {{20 * s, 19 * s + s / 10, false}, {20 * s, 18 * s, true},  {20 * s, 2 * s, true},
               {600 * s, 590 * s, false},        {600 * s, 580 * s, true}, {0, 0, false},
               {s / 2, 0, false},                {20 * s, 25 * s, false}};
  for (const auto& c : cases)
    EXPECT_EQ(engine::ShortDecodeOf(c.declared, c.decoded).has_value(), c.warns) << c.declared << " " << c.decoded;
  const auto shortDecode = engine::ShortDecodeOf(20 * s, 19 * s / 10);
  ASSERT_TRUE(shortDecode);
  EXPECT_DOUBLE_EQ(shortDecode->decodedSeconds, 1.9);
  EXPECT_DOUBLE_EQ(shortDecode->declaredSeconds, 20.0);
}
