#include "core/progress_text.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "core/interface_texts.h"

namespace core {

int TotalPercent(std::int64_t done, std::int64_t total) {
  if (total <= 0 || done <= 0) return 0;
  if (done >= total) return 100;
  // Rounded down: a run is not at 100 before its last file has finished, whatever the
  // floating-point quotient makes of 99.99…
  return std::min(99, static_cast<int>(std::floor(static_cast<double>(done) / static_cast<double>(total) * 100.0)));
}

std::string FormatRunTime(std::chrono::milliseconds span) {
  const long long seconds = std::max<long long>(span.count(), 0) / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

std::string TimeLineText(std::chrono::milliseconds elapsed, std::int64_t total, std::int64_t done, TextLookup tr) {
  std::string line = tr(lang::TimeElapsedLabel) + ": " + FormatRunTime(elapsed);
  // Nothing done yet, or no length to measure against: there is nothing to estimate from.
  if (done <= 0 || total <= 0) return line;
  const std::int64_t left = std::max<std::int64_t>(total - done, 0);
  // Capped far above any real run, so the conversion back to an integer cannot overflow.
  const double remaining =
      std::min(static_cast<double>(elapsed.count()) * (static_cast<double>(left) / static_cast<double>(done)), 1e15);
  line += ", " + tr(lang::RemainedLabel) + ": " + tr(lang::AboutWord) + " " +
          FormatRunTime(std::chrono::milliseconds(static_cast<long long>(remaining)));
  return line;
}

std::string NothingToConvertText(TextLookup tr) {
  return tr(lang::NothingToConvert) + "\n" + tr(lang::CheckTasksHint);
}

std::string RunEndText(bool canceled, const std::vector<FileProblem>& failures,
                       const std::vector<FileProblem>& warnings, TextLookup tr) {
  std::string text;
  if (canceled) {
    text = tr(lang::UserCanceled);
  } else if (failures.empty()) {
    text = tr(lang::AllFilesConverted);
  }
  const auto list = [&text, tr](const std::vector<FileProblem>& files, const char* one, const char* many) {
    if (files.empty()) return;
    if (!text.empty()) text += "\n";
    text += files.size() == 1 ? tr(one) : std::to_string(files.size()) + " " + tr(many);
    for (const FileProblem& file : files) text += "\n" + file.sourceFile + ": " + file.reason;
  };
  list(failures, lang::OneFileFailed, lang::FilesFailed);
  list(warnings, lang::OneFileWarned, lang::FilesWarned);
  return text;
}

}  // namespace core
