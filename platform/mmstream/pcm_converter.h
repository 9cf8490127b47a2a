// Turns decoded audio frames into the delivered PCM shape (sample format, channels, rate).
//
// Owned by the audio decoder; one thread. It is set up for one source format at a time; when a
// stream changes its rate or channels mid-stream the decoder drains it and sets it up again, and
// the delivered shape stays what it was when the stream opened.
#pragma once

#include "platform/mmstream/ffmpeg_ptr.h"
#include "platform/mmstream/pcm_format.h"

#include <cstdint>

namespace platform::mmstream {

class PcmConverter {
 public:
  explicit PcmConverter(const PcmShape& out);
  ~PcmConverter();
  PcmConverter(const PcmConverter&) = delete;
  PcmConverter& operator=(const PcmConverter&) = delete;

  // Bytes of one delivered sample frame (all channels).
  int BlockBytes() const { return block_bytes_; }
  // Whether the converter is set up for frames with `frame`'s format, rate and channels.
  bool Matches(const AVFrame& frame) const;
  // Sets up for frames like `frame`, forgetting anything held back. 0 or an AVERROR.
  int Configure(const AVFrame& frame);
  // Forgets the set-up and anything held back (after a seek).
  void Reset();

  // Most sample frames that converting `in_samples` more input can yield.
  int OutputBound(int in_samples) const;
  // Converts samples from `offset` to the end of `frame` into `dest`, which has room for
  // `capacity` sample frames. Returns the sample frames written, or an AVERROR.
  int Convert(const AVFrame& frame, int offset, uint8_t* dest, int capacity);
  // Writes what the resampler still holds back (a rate conversion keeps a few samples).
  int Drain(uint8_t* dest, int capacity);

 private:
  PcmShape out_;
  int block_bytes_;
  AVChannelLayout out_layout_{};
  ResamplerPtr resampler_;
  AVSampleFormat in_format_ = AV_SAMPLE_FMT_NONE;
  int in_rate_ = 0;
  AVChannelLayout in_layout_{};
};

}  // namespace platform::mmstream
