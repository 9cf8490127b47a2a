#include "core/progress_text.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "core/interface_texts.h"
#include "core/tag_probe.h"
#include "core/tags/source_tags.h"

engine::EncodingSettings EncodingOf(const ConversionTask& task) {
  engine::EncodingSettings encoding;
  encoding.bitrate = task.bitrate;
  encoding.vbrMinBitrate = task.vbrMinBitrate;
  encoding.vbrMaxBitrate = task.vbrMaxBitrate;
  encoding.vbr = task.vbr;
  encoding.channelMode = task.channelMode;
  encoding.sampleRate = task.sampleRate;
  engine::Mp3Tags& out = encoding.tags;
  out.title = task.title;
  out.artist = task.artist;
  out.albumArtist = task.albumArtist;
  out.album = task.album;
  out.date = task.year;
  out.comment = task.comment;
  out.genre = task.genre;
  out.composer = task.composer;
  tags::ParsePosition(task.track, out.track, out.trackTotal);
  out.disc = task.disc;
  out.discTotal = task.discTotal;
  if (task.coverBytes > 0 && !task.omitCover) {
    out.cover = [source = task.sourceFile] { return ReadCover(source); };
  }
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
  std::string line = Translated(lang::TimeElapsedLabel) + ": " + FormatRunTime(elapsed);
  // Nothing done yet, or no length to measure against: there is nothing to estimate from.
  if (done <= 0 || total <= 0) return line;
  const std::int64_t left = std::max<std::int64_t>(total - done, 0);
  // Capped far above any real run, so the conversion back to an integer cannot overflow.
  const double remaining =
      std::min(static_cast<double>(elapsed.count()) * (static_cast<double>(left) / static_cast<double>(done)), 1e15);
  line += ", " + Translated(lang::RemainedLabel) + ": " + Translated(lang::AboutWord) + " " +
          FormatRunTime(std::chrono::milliseconds(static_cast<long long>(remaining)));
  return line;
}

std::string NothingToConvertText() {
  return Translated(lang::NothingToConvert) + "\n" + Translated(lang::CheckTasksHint);
}

std::string RunEndText(bool canceled, const std::vector<FileProblem>& failures,
                       const std::vector<FileProblem>& warnings) {
  std::string text;
  if (canceled) {
    text = Translated(lang::UserCanceled);
  } else if (failures.empty()) {
    text = Translated(lang::AllFilesConverted);
  }
  const auto list = [&text](const std::vector<FileProblem>& files, const char* one, const char* many) {
    if (files.empty()) return;
    if (!text.empty()) text += "\n";
    text += files.size() == 1 ? Translated(one) : std::to_string(files.size()) + " " + Translated(many);
    for (const FileProblem& file : files) text += "\n" + file.sourceFile + ": " + file.reason;
  };
  list(failures, lang::OneFileFailed, lang::FilesFailed);
  list(warnings, lang::OneFileWarned, lang::FilesWarned);
  return text;
}


