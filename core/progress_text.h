// The arithmetic and the texts of a conversion run's progress display and of its end summary:
// percentages, run times, the status lines and the report of files that failed or came out
// shorter than declared. Pure functions, any thread.
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

// The status line while a file converts: "Time elapsed: 0:01:10, remained: about 0:03:25".
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

// The end-of-run text before the question about the output folder: cancelled or all converted,
// then every file that failed and every file that came out shorter than its source declares,
// each with its reason.
std::string RunEndText(bool canceled, const std::vector<FileProblem>& failures,
                       const std::vector<FileProblem>& warnings = {}, TextLookup tr = EnglishText);

}  // namespace core
