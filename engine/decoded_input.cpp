#include "engine/decoded_input.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/mmstream/media_stream.h"

namespace engine {

DecodedInput::DecodedInput(Component* owner) : FileInput(owner) {}

DecodedInput::~DecodedInput() = default;  // releases the reader if it is still held

void DecodedInput::OpenFile() {
  if (openCount_ == 0) {
    auto reader = std::make_unique<AudioFileReader>(fileName, deliveryRate);
    const platform::mmstream::PcmFormat& format = reader->Format();
    const std::int64_t duration = reader->StreamDuration();
    // Whole seconds only: the fraction of the last second is not counted.
    const std::int64_t size =
        duration / 10'000'000 * format.sampleRate * format.channels * (format.bitsPerSample / 8);
    size_ = size;
    declaredDuration_ = reader->DeclaredDuration();
    // A source shorter than a second has no whole-second size; it still converts, with no
    // progress to show.
    timePerByte_ = size > 0 ? duration / size : 0;
    sampleRate_ = format.sampleRate;
    bitsPerSample_ = format.bitsPerSample;
    channels_ = format.channels;
    floatSamples_ = reader->FloatSamples();
    const int bytesPerFrame = channels_ * (bitsPerSample_ / 8);
    totalSamples_ = bytesPerFrame > 0 ? size / bytesPerFrame : 0;
    reader_ = std::move(reader);
  }
  ++openCount_;
}

void DecodedInput::CloseFile() {
  if (openCount_ == 1) reader_.reset();
  if (openCount_ > 0) --openCount_;
}

void DecodedInput::Seek(std::int64_t sampleNumber) { seekTarget_ = sampleNumber; }

void DecodedInput::Init() {
  FileInput::Init();
  decodedDuration_ = 0;
  block_ = std::make_unique<std::uint8_t[]>(kBlockBufferSize);
}

void DecodedInput::Flush() {
  FileInput::Flush();
  block_.reset();
}

int DecodedInput::ReadBlock() {
  return static_cast<int>(reader_->ReadData(block_.get(), static_cast<std::uint32_t>(kBlockBufferSize)));
}

int DecodedInput::GetData(void* buffer, int bufferSize) {
  if (!busy_) throw platform::Exception("The Stream is not opened");
  if (bufferStart_ > bufferEnd_) {
    if (seekTarget_ != 0) {
      const std::int64_t bytesPerFrame = static_cast<std::int64_t>(channels_) * (bitsPerSample_ / 8);
      const std::int64_t target = std::clamp<std::int64_t>(seekTarget_ * bytesPerFrame, 0, Size());
      position_ = target;
      // The time of a byte from the format itself: the whole-second TimePerByte would land
      // up to a few percent off.
      const std::int64_t bytesPerSecond = bytesPerFrame * sampleRate_;
      reader_->SeekTime(bytesPerSecond > 0 ? target * 10'000'000 / bytesPerSecond : 0);
      seekTarget_ = 0;
    }
    bufferStart_ = 1;
    int got = ReadBlock();
    if (got == 0 && loop) {
      reader_->SeekTime(0);
      got = ReadBlock();
    }
    decodedDuration_ = std::max(decodedDuration_.load(), reader_->StreamPosition());
    if (got == 0) {
      bufferEnd_ = 0;
      return 0;
    }
    bufferEnd_ = got;
  }
  const int count = std::min(bufferSize, bufferEnd_ - bufferStart_ + 1);
  std::memcpy(buffer, block_.get() + (bufferStart_ - 1), static_cast<std::size_t>(count));
  bufferStart_ += count;
  position_ += count;
  return count;
}

std::optional<std::string> ShortDecodeWarning(std::int64_t declared, std::int64_t decoded) {
  constexpr std::int64_t kSecond = 10'000'000;
  const std::int64_t tolerance = std::max(kSecond, declared / 50);
  if (declared <= 0 || declared - decoded <= tolerance) return std::nullopt;
  char text[160];
  std::snprintf(text, sizeof text,
                "only %.1f of the %.1f seconds the source declares could be decoded (it may be damaged or cut short)",
                static_cast<double>(std::max<std::int64_t>(decoded, 0)) / kSecond,
                static_cast<double>(declared) / kSecond);
  return std::string(text);
}

std::optional<std::string> StartDecoding() {
  if (!platform::mmstream::CanDecodeWindowsMedia())
    return std::string("Cannot start decoding without FFmpeg present. Please install FFmpeg.");
  return std::nullopt;
}

void InterruptDecoding() { platform::mmstream::RequestInterrupt(); }

void StopDecoding() {}

}  // namespace engine
