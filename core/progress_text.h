// The arithmetic and the texts of a conversion run's progress display and of its end summary:
// percentages, run times, the status lines, how many files converted, failed and warned, and the
// report of files that failed or came out shorter than declared. Pure functions, any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "core/translation.h"

namespace core {

// Whole percent of `total` that `done` is (both 100-ns units), rounded down, within 0..100;
// 0 when the total is not positive.
int TotalPercent(std::int64_t done, std::int64_t total);

// A span as H:mm:ss (0:01:10); hours do not wrap at a day. Negative spans read as 0:00:00.
std::string FormatRunTime(std::chrono::milliseconds span);

// The status line while a file converts: "Time elapsed: 0:01:10, remaining: about 0:03:25".
// The remaining time is elapsed ÷ done × (total − done); while nothing is done yet or the total
// is not positive there is no estimate and the line shows the elapsed time alone.
std::string TimeLineText(std::chrono::milliseconds elapsed, std::int64_t total, std::int64_t done,
                         TextLookup tr = EnglishText);

// The notice of a run with no checked task.
std::string NothingToConvertText(TextLookup tr = EnglishText);

// A file the run could not convert, or converted with a warning, and why.
struct FileProblem {
  std::string sourceFile;
  std::string reason;
};

// What became of a run's files, as its end summary tells it.
struct RunOutcome {
  bool cancelled = false;
  int converted = 0;                  // warned files included
  int skipped = 0;
  std::vector<FileProblem> failures = {};  // each failed file with its reason
  std::vector<FileProblem> warnings = {};  // each converted file that came with a warning
};

// The counts of a run: "3 converted, 1 failed, 1 with a warning, 2 skipped". The converted count
// is always there (a cancelled run that converted nothing says "0 converted"); the others only
// when they are not zero.
std::string RunCountsText(const RunOutcome& outcome, TextLookup tr = EnglishText, NumberFormat number = PlainNumber);

// The end-of-run text: that the run was cancelled, or that all files converted (only when none
// failed or was skipped), then the counts, then every file that failed and every file that came
// out with a warning, each with its reason.
std::string RunEndText(const RunOutcome& outcome, TextLookup tr = EnglishText, NumberFormat number = PlainNumber);

}  // namespace core
