// How the calls of the multimedia-stream layer end, and why a failure failed.
//
// Every call that can fail for a reason only FFmpeg knows returns a Result: the status the
// callers branch on and, for a failure, the reason in words ("No such file or directory"), so
// the text travels with the failure it belongs to. Plain values; no state, any thread.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace platform::mmstream {

// A stream time or duration in 100-nanosecond units (ten million to the second).
using Time = std::int64_t;

enum class Status {
  Ok,
  EndOfStream,      // nothing left to read; not a failure
  Pending,          // no video frame was complete within the wait; the next read goes on
  NoStream,         // none of the asked-for streams is there, or a read of a stream the file lacks
  NotRunning,       // a read of a stopped stream
  NoSeeking,        // the file cannot be repositioned
  InvalidArgument,  // a buffer that holds no whole sample frame or picture, a rate or depth out of range
  NotMedia,         // not a media file, or its audio yields no sample
  Error,            // cannot be read, no decoder, DRM-protected, or decoding failed
  OutOfMemory,
};

// The enumerator's name ("EndOfStream"), for test failures and logs.
std::ostream& operator<<(std::ostream& out, Status status);

// The layer's own words for `status` ("" for Ok), the reason of a result that has no more
// particular one.
const char* StatusText(Status status);

struct Result {
  Status status = Status::Ok;
  // Why, for every status but Ok: FFmpeg's text for the failure ("Invalid data found when
  // processing input"), the layer's own reason ("Not a regular file (a pipe, device or
  // socket)"), or StatusText(status). Empty for Ok.
  std::string reason;

  bool Ok() const { return status == Status::Ok; }
};

// A result of `status` with StatusText(status) as its reason.
Result Failure(Status status);
// A result of `status` with `reason`.
Result Failure(Status status, std::string reason);
// A result of `status` whose reason is FFmpeg's text for the AVERROR code `averror`.
Result AverrorFailure(Status status, int averror);

}  // namespace platform::mmstream
