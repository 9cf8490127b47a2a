#include "platform/mmstream/packet_decoder.h"


namespace platform::mmstream {

namespace {

// Packets (or decoder errors) in a row without a single frame after which the stream is taken
// as undecodable. Real decoders need a handful at most to start; a damaged stretch of a good
// file costs a few. A thousand covers many seconds of damage.
constexpr int kMaxFruitlessSteps = 1000;

}  // namespace

Result PacketDecoder::Open(Demuxer& demuxer, StreamKind kind, std::unique_ptr<PacketDecoder>& out) {
  out.reset();
  std::unique_ptr<PacketDecoder> decoder(new PacketDecoder(demuxer, kind));
  decoder->stream_ = demuxer.Stream(kind);
  const AVCodec* codec = demuxer.Decoder(kind);
  if (decoder->stream_ == nullptr || codec == nullptr) {
    return AverrorFailure(Status::Error, AVERROR_DECODER_NOT_FOUND);
  }
  decoder->codec_.reset(avcodec_alloc_context3(codec));
  decoder->frame_.reset(av_frame_alloc());
  decoder->packet_.reset(av_packet_alloc());
  if (!decoder->codec_ || !decoder->frame_ || !decoder->packet_) {
    return AverrorFailure(Status::Error, AVERROR(ENOMEM));
  }
  AVCodecContext* context = decoder->codec_.get();
  int err = avcodec_parameters_to_context(context, decoder->stream_->codecpar);
  if (err >= 0) {
    // Lets the decoder place its frames in the stream's time (and trim priming samples by it).
    context->pkt_timebase = decoder->stream_->time_base;
    err = avcodec_open2(context, codec, nullptr);
  }
  if (err < 0) return AverrorFailure(Status::Error, err);
  out = std::move(decoder);
  return {};
}

Result PacketDecoder::Next(Step& step, Clock::time_point deadline) {
  AVCodecContext* context = codec_.get();
  // Every pass either returns, or consumes a packet, or counts a fruitless step, so the loop is
  // bounded by the file and by kMaxFruitlessSteps.
  for (;;) {
    int err = avcodec_receive_frame(context, frame_.get());
    if (err >= 0) {
      if (frame_->nb_samples <= 0 && frame_->width <= 0) {
        av_frame_unref(frame_.get());
        continue;
      }
      fruitless_steps_ = 0;
      step = Step::kFrame;
      return {};
    }
    if (err == AVERROR_EOF || (err == AVERROR(EAGAIN) && draining_)) {
      step = Step::kEnd;
      return {};
    }
    if (err != AVERROR(EAGAIN)) {
      last_error_ = err;
      if (++fruitless_steps_ >= kMaxFruitlessSteps) return AverrorFailure(Status::Error, err);
      continue;
    }

    if (!holding_packet_) {
      if (Clock::now() >= deadline) {
        step = Step::kTimedOut;
        return {};
      }
      int averror = 0;
      switch (demuxer_.Next(kind_, packet_.get(), averror)) {
        case Demuxer::Fetched::kPacket:
          break;
        case Demuxer::Fetched::kEnd:
          avcodec_send_packet(context, nullptr);
          draining_ = true;
          continue;
        case Demuxer::Fetched::kError:
          return AverrorFailure(Status::Error, averror);
      }
    }
    err = avcodec_send_packet(context, packet_.get());
    if (err == AVERROR(EAGAIN) && !holding_packet_) {
      // The decoder wants its output taken first; offer the same packet again after that.
      holding_packet_ = true;
      continue;
    }
    holding_packet_ = false;
    av_packet_unref(packet_.get());
    // A rejected packet is skipped; only a long run of them ends the stream.
    if (err < 0) last_error_ = err;
    if (++fruitless_steps_ >= kMaxFruitlessSteps) {
      return AverrorFailure(Status::Error, last_error_ != 0 ? last_error_ : AVERROR_INVALIDDATA);
    }
  }
}

void PacketDecoder::Flush() {
  avcodec_flush_buffers(codec_.get());
  av_frame_unref(frame_.get());
  av_packet_unref(packet_.get());
  holding_packet_ = false;
  draining_ = false;
  fruitless_steps_ = 0;
}

}  // namespace platform::mmstream
