// AudioFileReader: opens one media file through the multimedia-stream layer and hands out its
// primary audio as PCM in the stream's own format, one decoded block per read, in buffers the
// caller owns. It knows the file's playing time and the stream time reached by the last read.
//
// Threads: created on the main thread, then read by the pipeline's worker. StreamPosition may be
// read from any thread at any moment. No locks are taken.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/exception.h"
#include "platform/mmstream/formats.h"
#include "platform/mmstream/status.h"

namespace platform::mmstream {
class MediaStream;
}

namespace engine {

// A failed step of reading a media file: the reason for the user, in FFmpeg's or the stream
// layer's words ("No such file or directory"), and the stream layer's status.
class AudioReadError : public platform::Exception {
 public:
  AudioReadError(const std::string& message, platform::mmstream::Status result)
      : platform::Exception(message), status(result) {}
  platform::mmstream::Status status;
};

class AudioFileReader {
 public:
  // Opens `fileName` and starts its audio stream, delivered as an encoder at `rate` Hz wants it
  // (0: at the source's own rate): 32-bit float where the source decodes to floating point,
  // else 16-bit; one channel for a mono source, two for every other. Raises AudioReadError on
  // any failing step.
  explicit AudioFileReader(const std::string& fileName, int rate = 0);
  // Stops the stream and releases it.
  ~AudioFileReader();
  AudioFileReader(const AudioFileReader&) = delete;
  AudioFileReader& operator=(const AudioFileReader&) = delete;

  // Fills `buffer` with the next decoded block (at most `bufferSize` bytes) and returns its byte
  // count; 0 at the end of the stream. Blocks that end at or before time 0 are skipped. Raises
  // AudioReadError when decoding fails, or for a buffer that holds no whole sample frame.
  std::uint32_t ReadData(void* buffer, std::uint32_t bufferSize);
  // Moves the stream to `time` (100 ns, clamped to 0 … StreamDuration). A seek that fails puts
  // the stream back at its start.
  void SeekTime(std::int64_t time);

  // The format of the PCM the reads deliver: 16-bit integers or 32-bit float (±1.0).
  const platform::mmstream::PcmFormat& Format() const { return format_; }
  bool FloatSamples() const { return format_.floatSamples; }
  const std::string& FileName() const { return fileName_; }
  // Playing time of the whole file, 100-ns units.
  std::int64_t StreamDuration() const { return streamDuration_; }
  // The playing time the file states it has, which a file cut short can exceed StreamDuration
  // with; 100-ns units.
  std::int64_t DeclaredDuration() const { return declaredDuration_; }
  // End time of the last block delivered, 100-ns units; 0 after opening.
  std::int64_t StreamPosition() const { return streamPosition_.load(std::memory_order_relaxed); }

 private:
  platform::mmstream::PcmFormat format_;
  std::string fileName_;
  std::unique_ptr<platform::mmstream::MediaStream> stream_;
  std::int64_t streamDuration_ = 0;
  std::int64_t declaredDuration_ = 0;
  std::atomic<std::int64_t> streamPosition_{0};
  std::int64_t sampleStart_ = 0;
  std::int64_t sampleEnd_ = 0;
};

}  // namespace engine
