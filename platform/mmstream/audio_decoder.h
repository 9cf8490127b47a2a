// The primary audio stream of a MediaStream, decoded into the delivered PCM.
//
// Owned by the MediaStream; used by its thread only. It decodes ahead at most one frame: what a
// read cannot take waits in a small buffer for the next read, so memory does not grow with the
// file. Block times count the sample frames delivered since the stream's first sample (or
// since the target of the last seek), so that consecutive blocks always join exactly whatever
// the packets' timestamps say. At a delivered rate other than the source's, the times count
// delivered frames at the delivered rate.
#pragma once

#include "platform/mmstream/audio_delivery.h"
#include "platform/mmstream/formats.h"
#include "platform/mmstream/packet_decoder.h"
#include "platform/mmstream/pcm_converter.h"
#include "platform/mmstream/status.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace platform::mmstream {

class AudioDecoder {
 public:
  // Opens the decoder and decodes up to the first samples, which fix the delivered format
  // along with `delivery` (whose rate must be 0 or a valid rate). Fails with the decoder's
  // error, or Status::NotMedia with FFmpeg's reason when the stream yields no samples at all.
  static Result Open(Demuxer& demuxer, const AudioDelivery& delivery, std::unique_ptr<AudioDecoder>& out);

  const PcmFormat& Format() const { return format_; }
  // The channels of the source's own first samples (6 for 5.1), whatever is delivered.
  int SourceChannels() const { return source_channels_; }

  // Fills `buffer` with up to `size` bytes (whole sample frames) of the next PCM. Ok with the
  // byte count and the block's times; EndOfStream when nothing is left; InvalidArgument when
  // `size` holds no whole sample frame; a decoding failure after some bytes of a block is
  // reported by the next call, so no delivered byte is lost.
  Result Read(uint8_t* buffer, uint32_t size, uint32_t& bytes, Time& start, Time& end);

  // The stream timestamp at `position` (100 ns after the stream's first sample).
  int64_t TimestampAt(Time position) const;
  // After the demuxer was repositioned near `position`: forgets what was buffered; the next
  // samples delivered are those at `position` and carry that time.
  void Restart(Time position);

 private:
  explicit AudioDecoder(std::unique_ptr<PacketDecoder> packets) : packets_(std::move(packets)) {}

  // Decodes one more frame into `dest` (when it fits and nothing waits) or behind the waiting
  // bytes; at the end of the stream drains the resampler and marks the end.
  Result DecodeMore(uint8_t* dest, uint32_t room, uint32_t& written);
  Result Accept(const AVFrame& frame, uint8_t* dest, uint32_t room, uint32_t& written);
  // Samples of `frame` that lie before the restart target (0 when none, or unknown).
  int SamplesBeforeTarget(const AVFrame& frame);
  uint8_t* GrowWaiting(std::size_t bytes);
  std::size_t WaitingBytes() const { return waiting_end_ - waiting_begin_; }
  Time TimeAt(int64_t samples) const;

  std::unique_ptr<PacketDecoder> packets_;
  std::unique_ptr<PcmConverter> converter_;
  PcmFormat format_;
  uint32_t block_ = 0;
  int source_channels_ = 0;
  AVRational time_base_{1, 1};
  int64_t origin_ = 0;  // timestamp of the stream's first delivered sample

  std::vector<uint8_t> waiting_;
  std::size_t waiting_begin_ = 0;
  std::size_t waiting_end_ = 0;

  Time base_time_ = 0;  // time of the first sample counted in delivered_
  int64_t delivered_ = 0;      // sample frames handed out since base_time_
  std::optional<Time> restart_target_;
  bool ended_ = false;
  Result deferred_failure_;
};

}  // namespace platform::mmstream
