#include "cli/report.h"

#include <cmath>

namespace convert {

namespace {

// A JSON string: quotes, backslashes and control characters escaped; the rest, UTF-8 included,
// as it is. A path that is not valid UTF-8 keeps its bytes: the line stays one line.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

}  // namespace

std::string ReportLine(const ReportRow& row) {
  std::string line = "{";
  const auto add = [&line](const char* key, const std::string& value) {
    if (line.size() > 1) line += ", ";
    line += Quoted(key) + ": " + value;
  };
  if (row.source) add("source", Quoted(*row.source));
  add("output", Quoted(row.output));
  add("status", Quoted(row.status));
  if (row.reason) add("reason", Quoted(*row.reason));
  if (row.warning) add("warning", Quoted(*row.warning));
  if (row.duration && std::isfinite(*row.duration)) {
    char number[32];
    std::snprintf(number, sizeof number, "%.3f", *row.duration);
    add("duration", number);
  }
  if (row.verified) add("verified", *row.verified ? "true" : "false");
  return line + "}";
}

ReportFile::ReportFile(const std::string& path) {
  if (path == "-") {
    file_ = stdout;
    return;
  }
  file_ = std::fopen(path.c_str(), "we");
  own_ = file_ != nullptr;
}

ReportFile::~ReportFile() {
  if (own_) std::fclose(file_);
}

bool ReportFile::Write(const ReportRow& row) {
  if (file_ == nullptr) return false;
  const std::string line = ReportLine(row) + "\n";
  return std::fputs(line.c_str(), file_) >= 0 && std::fflush(file_) == 0;
}

}  // namespace convert
