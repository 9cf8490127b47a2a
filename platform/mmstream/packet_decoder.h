// One decoder fed with the packets of one demuxed stream.
//
// Owned by the audio or video decoder of a MediaStream; one thread. It skips packets the
// decoder rejects (a damaged packet costs its own samples only, as in players), drains the
// decoder at the end of the data, and gives up with an error after a long run of packets that
// yield nothing, so that a file of undecodable packets ends instead of being read to no end.
#pragma once

#include "platform/mmstream/demuxer.h"
#include "platform/mmstream/ffmpeg_ptr.h"
#include "platform/mmstream/status.h"

#include <chrono>
#include <memory>

namespace platform::mmstream {

class PacketDecoder {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Step { kFrame, kEnd, kTimedOut };

  // Opens the decoder of `kind`'s stream. Status::Error with FFmpeg's reason when it cannot be
  // opened.
  static Result Open(Demuxer& demuxer, StreamKind kind, std::unique_ptr<PacketDecoder>& out);

  // Decodes until the next frame (step kFrame, in Frame()), the end of the stream (kEnd) or
  // `deadline` (kTimedOut, checked before each packet is read). Fails with Status::Error and
  // FFmpeg's reason when the container cannot be read any further or too many packets in a row
  // yielded nothing.
  Result Next(Step& step, Clock::time_point deadline = Clock::time_point::max());

  AVFrame* Frame() const { return frame_.get(); }
  const AVStream* Stream() const { return stream_; }
  // The last decoding error seen (0 when none), for the text of a later failure.
  int LastError() const { return last_error_; }
  // Forgets everything in flight (after the demuxer was repositioned).
  void Flush();

 private:
  PacketDecoder(Demuxer& demuxer, StreamKind kind) : demuxer_(demuxer), kind_(kind) {}

  Demuxer& demuxer_;
  StreamKind kind_;
  const AVStream* stream_ = nullptr;
  CodecPtr codec_;
  FramePtr frame_;
  PacketPtr packet_;
  bool holding_packet_ = false;
  bool draining_ = false;
  int fruitless_steps_ = 0;
  int last_error_ = 0;
};

}  // namespace platform::mmstream
