// The machine-readable record of what a run did: JSON Lines, one object per source, written as
// each one ends (so that the lines of a run that is killed are there up to that point), for a
// script or a second machine to read.
//
//   {"source": "...", "output": "...", "status": "converted", "duration": 215.3}
//   {"source": "...", "output": "...", "status": "failed", "reason": "..."}
//
// status is "converted", "up-to-date", "skipped", "failed" or, for an MP3 --prune deleted,
// "removed" (without "source"); "reason" comes with every status but "converted", "warning"
// with a converted file that came out shorter than its source declares, "duration" in seconds
// when it is known.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace convert {

struct ReportRow {
  std::optional<std::string> source;
  std::string output;
  std::string status;
  std::optional<std::string> reason;
  std::optional<std::string> warning;
  std::optional<double> duration;
  std::optional<bool> verified;
};

// One JSON object of `row`, without the line break.
std::string ReportLine(const ReportRow& row);

class ReportFile {
 public:
  // Opens `path` for the report ("-": standard output); Failed() says when it could not be.
  explicit ReportFile(const std::string& path);
  ~ReportFile();
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  bool Failed() const { return file_ == nullptr; }
  // Writes the row's line; false when it could not be written.
  bool Write(const ReportRow& row);

 private:
  std::FILE* file_ = nullptr;
  bool own_ = false;
};

}  // namespace convert
