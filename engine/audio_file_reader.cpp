#include "engine/audio_file_reader.h"

#include <algorithm>
#include <utility>

#include "platform/mmstream/media_stream.h"

namespace engine {

namespace mm = platform::mmstream;
using platform::HRESULT;
using platform::MakeResult;

namespace {

struct CodeText {
  HRESULT code;
  const char* text;
};

constexpr CodeText kMessages[] = {
    {MakeResult(0x00040001u), "The asynchronous update is pending."},
    {MakeResult(0x00040002u), "Sample was not updated after forced completion."},
    {MakeResult(0x00040003u), "Reached the end of the stream; the sample wasn't updated."},
    {MakeResult(0x08000001u), "Invalid buffer size."},
    {MakeResult(0x80004002u), "No interface."},
    {MakeResult(0x80004003u), "This method tried to access an invalid pointer."},
    {MakeResult(0x80004004u), "The update aborted."},
    {MakeResult(0x80040110u), "This class cannot be created as part of an aggregate."},
    {MakeResult(0x80040154u), "A specified class is not registered in the registration database."},
    {MakeResult(0x80040401u),
     "An IMediaStream object could not be removed from an IMultiMediaStream object because it still contains at "
     "least one allocated sample."},
    {MakeResult(0x80040402u), "The specified purpose ID can't be used for the call."},
    {MakeResult(0x80040403u), "No stream can be found with the specified attributes."},
    {MakeResult(0x80040404u), "One or more media streams don't support seeking."},
    {MakeResult(0x80040405u), "The stream formats are not compatible."},
    {MakeResult(0x80040406u), "This sample already has a pending update."},
    {MakeResult(0x80040407u),
     "The object can't accept the call because its initialize function or equivalent has not been called."},
    {MakeResult(0x80040408u), "Source already defined."},
    {MakeResult(0x80040409u), "The stream type is not valid for this operation."},
    {MakeResult(0x8004040Au), "The IMultiMediaStream object is not in running state."},
    {MakeResult(0x80070057u), "One of the parameters is invalid."},
};

}  // namespace

std::string AudioFileReader::ErrorMessage(HRESULT code) {
  for (const CodeText& entry : kMessages) {
    if (entry.code == code) return entry.text;
  }
  std::string text = mm::ErrorText(code);
  return text.empty() ? "Unrecognized error value." : text;
}

void AudioFileReader::CheckResult(HRESULT code) {
  if (code != 0) throw AudioReadError(ErrorMessage(code), code);
}

AudioFileReader::AudioFileReader(const std::string& fileName, int rate) {
  CheckResult(mm::MediaStream::Open(fileName, mm::kAudioStream, mm::EncoderDelivery(rate), stream_));
  format_ = stream_->AudioFormat();
  streamDuration_ = stream_->Duration();
  declaredDuration_ = stream_->DeclaredDuration();
  CheckResult(stream_->SetRunning(true));
  fileName_ = fileName;
}

bool AudioFileReader::FloatSamples() const { return format_.wFormatTag == mm::kWaveFormatIeeeFloat; }

AudioFileReader::~AudioFileReader() {
  // Stopping cannot be reported from here; the stream is released whatever it answers.
  if (stream_) stream_->SetRunning(false);
}

std::uint32_t AudioFileReader::ReadData(void* buffer, std::uint32_t bufferSize) {
  if (bufferSize == 0) CheckResult(kInvalidBufferSize);
  for (;;) {
    std::uint32_t bytes = 0;
    std::int64_t start = 0, end = 0;
    const HRESULT result = stream_->ReadAudio(buffer, bufferSize, bytes, start, end);
    // The end of the stream; a block skipped below is not data the caller may use.
    if (result == platform::MS_S_ENDOFSTREAM || result == platform::MS_E_NOSTREAM) return 0;
    CheckResult(result);
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
  if (stream_->SetRunning(false) == 0 && stream_->Seek(time) == 0 && stream_->SetRunning(true) == 0) {
    streamPosition_.store(time, std::memory_order_relaxed);
    return;
  }
  // A seek that did not work puts the stream back at its start.
  streamPosition_.store(0, std::memory_order_relaxed);
  stream_->Seek(0);
  stream_->SetRunning(true);
}

}  // namespace engine
