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

namespace {

// `text` with its "%1" replaced by `value`.
std::string Filled(const std::string& text, const std::string& value) {
  std::string filled = text;
  if (const std::size_t mark = filled.find("%1"); mark != std::string::npos) filled.replace(mark, 2, value);
  return filled;
}

}  // namespace

std::string RunCountsText(const RunOutcome& outcome, TextLookup tr, NumberFormat number) {
  std::string text = Filled(tr(lang::ConvertedCountText), number(outcome.converted));
  const auto add = [&](std::size_t count, const char* wording) {
    if (count > 0) text += ", " + Filled(tr(wording), number(static_cast<std::int64_t>(count)));
  };
  add(outcome.failures.size(), lang::FailedCountText);
  add(outcome.warnings.size(), lang::WarnedCountText);
  add(static_cast<std::size_t>(std::max(outcome.skipped, 0)), lang::SkippedCountText);
  return text;
}

std::string RunEndText(const RunOutcome& outcome, TextLookup tr, NumberFormat number) {
  std::string text;
  if (outcome.cancelled) {
    text = tr(lang::UserCanceled) + "\n";
  } else if (outcome.failures.empty() && outcome.skipped == 0) {
    text = tr(lang::AllFilesConverted) + "\n";
  }
  text += RunCountsText(outcome, tr, number);
  const auto list = [&](const std::vector<FileProblem>& files, const char* one, const char* many) {
    if (files.empty()) return;
    text += "\n" + (files.size() == 1 ? tr(one) : number(static_cast<std::int64_t>(files.size())) + " " + tr(many));
    for (const FileProblem& file : files) text += "\n" + file.sourceFile + ": " + file.reason;
  };
  list(outcome.failures, lang::OneFileFailed, lang::FilesFailed);
  list(outcome.warnings, lang::OneFileWarned, lang::FilesWarned);
  return text;
}

}  // namespace core
