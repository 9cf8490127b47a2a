#include "engine/ACS_DX9.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/com.h"
#include "platform/mmstream/media_stream.h"

namespace engine {

void Widen8BitInPlace(std::uint8_t* block, int count) {
  // 8-bit PCM is unsigned with silence at 128; 16-bit PCM is signed with silence at 0.
  // Centring first keeps silence silent: 128 becomes 0, 255 becomes 32512, 0 becomes -32768.
  for (int j = count - 1; j >= 0; --j) {
    const auto sample = static_cast<std::int16_t>((block[j] - 128) * 256);
    const auto bits = static_cast<std::uint16_t>(sample);
    block[2 * j] = static_cast<std::uint8_t>(bits & 0xFF);
    block[2 * j + 1] = static_cast<std::uint8_t>(bits >> 8);
  }
}

void WidenMonoInPlace(std::uint8_t* block, int count) {
  for (int j = count - 1; j >= 0; --j) {
    const std::uint8_t low = block[2 * j], high = block[2 * j + 1];
    block[4 * j] = low;
    block[4 * j + 1] = high;
    block[4 * j + 2] = low;
    block[4 * j + 3] = high;
  }
}

TDX9In::TDX9In(TComponent* owner) : TACSFileIn(owner) {}

TDX9In::~TDX9In() = default;  // releases the reader if it is still held

void TDX9In::OpenFile() {
  if (FOpenCount == 0) {
    auto reader = std::make_unique<TcbAudioFileReader>(FileName);
    const platform::WAVEFORMATEX& format = reader->Format();
    const std::int64_t duration = reader->StreamDuration();
    // Whole seconds only: the fraction of the last second is not counted.
    const std::int64_t size =
        duration / 10'000'000 * format.nSamplesPerSec * format.nChannels * (format.wBitsPerSample / 8);
    FSize = size;
    FDeclaredDuration = reader->DeclaredDuration();
    // A source shorter than a second has no whole-second size; it still converts, with no
    // progress to show.
    FTimePerByte = size > 0 ? duration / size : 0;
    FSR = static_cast<int>(format.nSamplesPerSec);
    FBPS = format.wBitsPerSample;
    FChan = format.nChannels;
    const int bytesPerFrame = FChan * (FBPS / 8);
    FTotalSamples = bytesPerFrame > 0 ? size / bytesPerFrame : 0;
    FReader = std::move(reader);
  }
  ++FOpenCount;
}

void TDX9In::CloseFile() {
  if (FOpenCount == 1) FReader.reset();
  if (FOpenCount > 0) --FOpenCount;
}

void TDX9In::Seek(std::int64_t sampleNumber) { FSeekTarget = sampleNumber; }

void TDX9In::Init() {
  TACSFileIn::Init();
  FDecodedDuration = 0;
  FBlock = std::make_unique<std::uint8_t[]>(kBlockBufferSize);
}

void TDX9In::Flush() {
  TACSFileIn::Flush();
  FBlock.reset();
}

int TDX9In::ReadBlock() {
  // Ask for as much as still fits the block buffer once widened.
  int request = kBlockBufferSize;
  if (FReader->WidenMono()) request /= 2;
  if (FReader->Widen8Bit()) request /= 2;
  int got = static_cast<int>(FReader->ReadData(FBlock.get(), static_cast<std::uint32_t>(request)));
  if (FReader->Widen8Bit()) {
    Widen8BitInPlace(FBlock.get(), got);
    got *= 2;
  }
  if (FReader->WidenMono()) {
    WidenMonoInPlace(FBlock.get(), got / 2);
    got *= 2;
  }
  return got;
}

int TDX9In::GetData(void* buffer, int bufferSize) {
  if (!FBusy) throw platform::Exception("The Stream is not opened");
  if (FBufStart > FBufEnd) {
    if (FSeekTarget != 0) {
      const std::int64_t bytesPerFrame = static_cast<std::int64_t>(FChan) * (FBPS / 8);
      const std::int64_t target = std::clamp<std::int64_t>(FSeekTarget * bytesPerFrame, 0, Size());
      FPosition = target;
      // The time of a byte from the format itself: the whole-second TimePerByte would land
      // up to a few percent off.
      const std::int64_t bytesPerSecond = bytesPerFrame * FSR;
      FReader->SeekTime(bytesPerSecond > 0 ? target * 10'000'000 / bytesPerSecond : 0);
      FSeekTarget = 0;
    }
    FBufStart = 1;
    int got = ReadBlock();
    if (got == 0 && Loop) {
      FReader->SeekTime(0);
      got = ReadBlock();
    }
    FDecodedDuration = std::max(FDecodedDuration, FReader->StreamPosition());
    if (got == 0) {
      FBufEnd = 0;
      return 0;
    }
    FBufEnd = got;
  }
  const int count = std::min(bufferSize, FBufEnd - FBufStart + 1);
  std::memcpy(buffer, FBlock.get() + (FBufStart - 1), static_cast<std::size_t>(count));
  FBufStart += count;
  FPosition += count;
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
  platform::CoInitialize(nullptr);
  if (!platform::mmstream::CanDecodeWindowsMedia())
    return std::string("Cannot start ACS_DX9 without FFmpeg present, Please install FFmpeg");
  return std::nullopt;
}

void InterruptDecoding() { platform::mmstream::RequestInterrupt(); }

void StopDecoding() { platform::CoUninitialize(); }

}  // namespace engine
