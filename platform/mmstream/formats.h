// What a MediaStream delivers: the PCM of its audio and the pictures of its video. Plain values.
#pragma once

#include "platform/mmstream/status.h"

#include <cstdint>

namespace platform::mmstream {

// Interleaved PCM: `channels` channels of `bitsPerSample`-bit samples at `sampleRate` Hz, as
// 32-bit float at full scale ±1.0 when `floatSamples`, else as integers (8-bit unsigned or 16-bit
// signed little-endian). All zero for a stream without audio.
struct PcmFormat {
  int channels = 0;
  int sampleRate = 0;
  int bitsPerSample = 0;
  bool floatSamples = false;

  // Bytes of one sample frame (one sample of every channel).
  std::uint32_t BlockAlign() const { return static_cast<std::uint32_t>(channels * (bitsPerSample / 8)); }
  std::uint32_t BytesPerSecond() const { return static_cast<std::uint32_t>(sampleRate) * BlockAlign(); }

  bool operator==(const PcmFormat&) const = default;
};

// Rendered video frames: width × height pixels of `bitsPerPixel` bits (32: bytes B, G, R, 0;
// 24: B, G, R; 16: 5-6-5 little-endian), rows top-down and packed; `timePerFrame` is the average
// time per frame (0 when the stream does not say). All zero for a stream without video; 0 × 0
// when the stream states no usable size.
struct FrameFormat {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  Time timePerFrame = 0;

  // Bytes of one rendered frame (0 without a usable size).
  std::uint32_t FrameBytes() const {
    return static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height) *
           static_cast<std::uint32_t>(bitsPerPixel / 8);
  }

  bool operator==(const FrameFormat&) const = default;
};

}  // namespace platform::mmstream
