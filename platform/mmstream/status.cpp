#include "platform/mmstream/status.h"

extern "C" {
#include <libavutil/error.h>
}

#include <ostream>
#include <utility>

namespace platform::mmstream {

std::ostream& operator<<(std::ostream& out, Status status) {
  switch (status) {
    case Status::Ok: return out << "Ok";
    case Status::EndOfStream: return out << "EndOfStream";
    case Status::Pending: return out << "Pending";
    case Status::NoStream: return out << "NoStream";
    case Status::NotRunning: return out << "NotRunning";
    case Status::NoSeeking: return out << "NoSeeking";
    case Status::InvalidArgument: return out << "InvalidArgument";
    case Status::NotMedia: return out << "NotMedia";
    case Status::Error: return out << "Error";
    case Status::OutOfMemory: return out << "OutOfMemory";
  }
  return out << "Status(" << static_cast<int>(status) << ")";
}

const char* StatusText(Status status) {
  switch (status) {
    case Status::Ok:
      return "";
    case Status::EndOfStream:
      return "The end of the stream was reached.";
    case Status::Pending:
      return "No frame was ready in time.";
    case Status::NoStream:
      return "The file has no stream of the kind asked for.";
    case Status::NotRunning:
      return "The stream is not running.";
    case Status::NoSeeking:
      return "The file cannot be repositioned.";
    case Status::InvalidArgument:
      return "Invalid argument";
    case Status::NotMedia:
      return "Invalid data found when processing input";
    case Status::Error:
      return "The file cannot be read or decoded.";
    case Status::OutOfMemory:
      return "Cannot allocate memory";
  }
  return "";
}

Result Failure(Status status) { return {status, StatusText(status)}; }

Result Failure(Status status, std::string reason) { return {status, std::move(reason)}; }

Result AverrorFailure(Status status, int averror) {
  // av_strerror writes a generic "Error number N occurred" when it knows no better text.
  char text[AV_ERROR_MAX_STRING_SIZE * 2] = {};
  av_strerror(averror, text, sizeof text);
  return {status, text};
}

}  // namespace platform::mmstream
