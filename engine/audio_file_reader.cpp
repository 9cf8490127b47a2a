#include "engine/audio_file_reader.h"

#include <algorithm>
#include <utility>

#include "platform/mmstream/media_stream.h"

namespace engine {

namespace mm = platform::mmstream;

namespace {

// The stream layer's result as the reader's exception, with the layer's reason for the user.
void Check(const mm::Result& result) {
  if (!result.Ok()) throw AudioReadError(result.reason, result.status);
}

}  // namespace

AudioFileReader::AudioFileReader(const std::string& fileName, int rate) {
  Check(mm::MediaStream::Open(fileName, mm::kAudioStream, mm::EncoderDelivery(rate), stream_));
  format_ = stream_->AudioFormat();
  streamDuration_ = stream_->Duration();
  declaredDuration_ = stream_->DeclaredDuration();
  stream_->SetRunning(true);
  fileName_ = fileName;
}

AudioFileReader::~AudioFileReader() = default;

std::uint32_t AudioFileReader::ReadData(void* buffer, std::uint32_t bufferSize) {
  for (;;) {
    std::uint32_t bytes = 0;
    mm::Time start = 0, end = 0;
    const mm::Result result = stream_->ReadAudio(buffer, bufferSize, bytes, start, end);
    // The end of the stream; a block skipped below is not data the caller may use.
    if (result.status == mm::Status::EndOfStream || result.status == mm::Status::NoStream) return 0;
    Check(result);
    sampleStart_ = start;
    sampleEnd_ = end;
    streamPosition_.store(end, std::memory_order_relaxed);
    // A block that ends at or before time 0 is decoder preroll: read the next one over it.
    if (end > 0) return bytes;
  }
}

void AudioFileReader::SeekTime(std::int64_t time) {
  if (time == StreamPosition()) return;
  time = std::max<std::int64_t>(time, 0);
  // An unknown duration (0) is no upper bound.
  if (streamDuration_ > 0) time = std::min(time, streamDuration_);
  if (stream_->Seek(time).Ok()) {
    streamPosition_.store(time, std::memory_order_relaxed);
    return;
  }
  // A seek that did not work puts the stream back at its start.
  streamPosition_.store(0, std::memory_order_relaxed);
  stream_->Seek(0);
}

}  // namespace engine
