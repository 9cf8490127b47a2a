// The primary video stream of a MediaStream, decoded frame by frame into a caller's buffer.
//
// Owned by the MediaStream; used by its thread only. Frames are rendered at the stream's
// geometry (a stream that changes size mid-way is scaled back to it) as 32-bit (B, G, R, 0
// bytes), 24-bit (B, G, R) or 16-bit (5-6-5, little-endian) pixels, rows top-down and packed
// (width × bytes per pixel per row).
#pragma once

#include "platform/mmstream/packet_decoder.h"
#include "platform/win_types.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace platform::mmstream {

class VideoDecoder {
 public:
  static HRESULT Open(Demuxer& demuxer, std::unique_ptr<VideoDecoder>& out);

  // 0 × 0 when the stream does not state a usable size.
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Average time per frame in 100-ns units; 0 when the stream does not say.
  STREAM_TIME TimePerFrame() const { return time_per_frame_; }

  int BitCount() const { return bit_count_; }
  // 16, 24 or 32; anything else is E_INVALIDARG.
  HRESULT SetBitCount(int bits);
  // Bytes of one rendered frame at the current bit count (0 without a usable size).
  uint32_t FrameBytes() const;

  // Renders the next frame into `buffer` (at least FrameBytes() bytes). S_OK with its times,
  // MS_S_ENDOFSTREAM at the end, MS_S_PENDING when `deadline` passed before a frame was
  // complete (the next call goes on from there), E_INVALIDARG for a short buffer,
  // VFW_E_INVALID_FILE_FORMAT without a usable size, E_FAIL (text recorded) when decoding fails.
  HRESULT Read(uint8_t* buffer, uint32_t size, STREAM_TIME& start, STREAM_TIME& end,
               PacketDecoder::Clock::time_point deadline);

  int64_t TimestampAt(STREAM_TIME position) const;
  // After the demuxer was repositioned near `position`: frames that end before it are skipped.
  void Restart(STREAM_TIME position);

 private:
  explicit VideoDecoder(std::unique_ptr<PacketDecoder> packets) : packets_(std::move(packets)) {}
  HRESULT Render(const AVFrame& frame, uint8_t* buffer);

  std::unique_ptr<PacketDecoder> packets_;
  ScalerPtr scaler_;
  int width_ = 0;
  int height_ = 0;
  int bit_count_ = 32;
  STREAM_TIME time_per_frame_ = 0;
  AVRational time_base_{1, 1};
  int64_t origin_ = 0;
  STREAM_TIME next_start_ = 0;
  std::optional<STREAM_TIME> restart_target_;
};

}  // namespace platform::mmstream
