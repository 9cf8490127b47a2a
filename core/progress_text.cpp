#include "core/progress_text.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "core/interface_texts.h"

namespace {

// The run's own report of a file it could not convert.
constexpr char kCannotConvertFile[] = "The following file can NOT be converted.";
// The end message names at most this many files; the count covers them all.
constexpr std::size_t kFailuresNamed = 10;

}  // namespace

engine::EncodingSettings EncodingOf(const ConversionTask& task) {
  engine::EncodingSettings encoding;
  encoding.bitrate = task.bitrate;
  encoding.vbrMinBitrate = task.vbrMinBitrate;
  encoding.vbrMaxBitrate = task.vbrMaxBitrate;
  encoding.vbr = task.vbr;
  encoding.channelMode = task.channelMode;
  encoding.sampleRate = task.sampleRate;
  encoding.title = task.title;
  encoding.artist = task.artist;
  encoding.album = task.album;
  encoding.year = task.year;
  encoding.comment = task.comment;
  encoding.genre = task.genre;
  return encoding;
}

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

std::string TimeLineText(std::chrono::milliseconds elapsed, std::int64_t total, std::int64_t done) {
  std::string line = std::string(lang::TimeElapsedLabel) + ": " + FormatRunTime(elapsed);
  // Nothing done yet, or no length to measure against: there is nothing to estimate from.
  if (done <= 0 || total <= 0) return line;
  const std::int64_t left = std::max<std::int64_t>(total - done, 0);
  // Capped far above any real run, so the conversion back to an integer cannot overflow.
  const double remaining =
      std::min(static_cast<double>(elapsed.count()) * (static_cast<double>(left) / static_cast<double>(done)), 1e15);
  line += std::string(", ") + lang::RemainedLabel + ": " + lang::AboutWord + " " +
          FormatRunTime(std::chrono::milliseconds(static_cast<long long>(remaining)));
  return line;
}

std::string CurrentFileText(int ordinal, int count, const std::string& title) {
  return std::string(lang::CurrentFileLabel) + "(" + std::to_string(ordinal) + "/" + std::to_string(count) + "): " +
         title;
}

std::string NothingToConvertText() {
  return std::string(lang::NothingToConvert) + " " + "\n" + lang::CheckTasksHint;
}

std::string FailedFileText(const FileProblem& failure) {
  return std::string(kCannotConvertFile) + "\n" + failure.sourceFile + "\n" + failure.reason;
}

std::string RunEndText(bool canceled, const std::vector<FileProblem>& failures,
                       const std::vector<FileProblem>& warnings) {
  std::string text;
  if (canceled) {
    text = lang::UserCanceled;
  } else if (failures.empty()) {
    text = lang::AllFilesConverted;
  }
  const auto list = [&text](const std::vector<FileProblem>& files, const std::string& one, const std::string& many,
                            bool withReason) {
    if (files.empty()) return;
    if (!text.empty()) text += "\n";
    text += files.size() == 1 ? one : std::to_string(files.size()) + " " + many;
    for (std::size_t i = 0; i < files.size() && i < kFailuresNamed; ++i)
      text += "\n" + files[i].sourceFile + (withReason ? ": " + files[i].reason : "");
    if (files.size() > kFailuresNamed) text += "\n... and " + std::to_string(files.size() - kFailuresNamed) + " more";
  };
  list(failures, "1 file could not be converted:", "files could not be converted:", false);
  list(warnings, "1 file was converted with a warning:", "files were converted with a warning:", true);
  return text;
}

int ProgressBarMilliseconds(std::int64_t duration) {
  return static_cast<int>(std::clamp<std::int64_t>(duration / 10000, 0, INT_MAX));
}

