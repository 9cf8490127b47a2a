// The primary video stream of a MediaStream, decoded frame by frame into a caller's buffer.
//
// Owned by the MediaStream; used by its thread only. Frames are rendered at the stream's
// geometry (a stream that changes size mid-way is scaled back to it) as 32-bit (B, G, R, 0
// bytes), 24-bit (B, G, R) or 16-bit (5-6-5, little-endian) pixels, rows top-down and packed
// (width × bytes per pixel per row).
#pragma once

#include "platform/mmstream/formats.h"
#include "platform/mmstream/packet_decoder.h"
#include "platform/mmstream/status.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace platform::mmstream {

class VideoDecoder {
 public:
  static Result Open(Demuxer& demuxer, std::unique_ptr<VideoDecoder>& out);

  // The rendered frames: the stream's size (0 × 0 when it states no usable one), its average
  // time per frame and the current depth (32 until SetBitsPerPixel).
  const FrameFormat& Format() const { return format_; }
  // 16, 24 or 32; anything else is InvalidArgument.
  Status SetBitsPerPixel(int bits);

  // Renders the next frame into `buffer` (at least Format().FrameBytes() bytes). Ok with its
  // times, EndOfStream at the end, Pending when `deadline` passed before a frame was complete
  // (the next call goes on from there), InvalidArgument for a short buffer, NotMedia without a
  // usable size, Error with FFmpeg's reason when decoding fails.
  Result Read(uint8_t* buffer, uint32_t size, Time& start, Time& end, PacketDecoder::Clock::time_point deadline);

  int64_t TimestampAt(Time position) const;
  // After the demuxer was repositioned near `position`: frames that end before it are skipped.
  void Restart(Time position);

 private:
  explicit VideoDecoder(std::unique_ptr<PacketDecoder> packets) : packets_(std::move(packets)) {}
  Result Render(const AVFrame& frame, uint8_t* buffer);

  std::unique_ptr<PacketDecoder> packets_;
  ScalerPtr scaler_;
  FrameFormat format_;
  AVRational time_base_{1, 1};
  int64_t origin_ = 0;
  Time next_start_ = 0;
  std::optional<Time> restart_target_;
};

}  // namespace platform::mmstream
