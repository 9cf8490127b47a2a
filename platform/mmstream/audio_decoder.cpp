#include "platform/mmstream/audio_decoder.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace platform::mmstream {

namespace {

constexpr AVRational kHundredNanoseconds = {1, 10'000'000};
}  // namespace

Result AudioDecoder::Open(Demuxer& demuxer, const AudioDelivery& delivery, std::unique_ptr<AudioDecoder>& out) {
  out.reset();
  std::unique_ptr<PacketDecoder> packets;
  Result result = PacketDecoder::Open(demuxer, kAudio, packets);
  if (!result.Ok()) return result;
  std::unique_ptr<AudioDecoder> decoder(new AudioDecoder(std::move(packets)));

  PacketDecoder::Step step{};
  result = decoder->packets_->Next(step);
  if (!result.Ok()) return result;
  if (step != PacketDecoder::Step::kFrame) {
    const int reason = decoder->packets_->LastError();
    return AverrorFailure(Status::NotMedia, reason != 0 ? reason : AVERROR_INVALIDDATA);
  }

  // The first frame decides the delivered format; later changes are converted to it.
  const AVFrame& first = *decoder->packets_->Frame();
  if (first.sample_rate <= 0 || first.sample_rate > kMaxSampleRate || first.ch_layout.nb_channels <= 0) {
    return AverrorFailure(Status::NotMedia, AVERROR_INVALIDDATA);
  }
  const int rate = delivery.rate != 0 ? delivery.rate : first.sample_rate;
  const PcmShape shape = DeliveredShape(static_cast<AVSampleFormat>(first.format),
                                        first.ch_layout.nb_channels, rate, delivery.samples);
  decoder->format_ = Describe(shape);
  decoder->source_channels_ = first.ch_layout.nb_channels;
  decoder->block_ = decoder->format_.BlockAlign();
  decoder->converter_ = std::make_unique<PcmConverter>(shape);

  const AVStream* stream = decoder->packets_->Stream();
  decoder->time_base_ = stream->time_base;
  if (first.best_effort_timestamp != AV_NOPTS_VALUE) {
    decoder->origin_ = first.best_effort_timestamp;
  } else if (stream->start_time != AV_NOPTS_VALUE) {
    decoder->origin_ = stream->start_time;
  }

  uint32_t unused = 0;
  result = decoder->Accept(first, nullptr, 0, unused);
  if (!result.Ok()) return result;
  out = std::move(decoder);
  return {};
}

Result AudioDecoder::Read(uint8_t* buffer, uint32_t size, uint32_t& bytes, Time& start,
                           Time& end) {
  bytes = 0;
  const uint32_t wanted = size - size % block_;
  if (wanted == 0) return Failure(Status::InvalidArgument, "The buffer holds no whole sample frame.");
  if (!deferred_failure_.Ok()) return std::exchange(deferred_failure_, Result{});

  uint32_t filled = 0;
  while (filled < wanted) {
    if (WaitingBytes() > 0) {
      const std::size_t count = std::min<std::size_t>(WaitingBytes(), wanted - filled);
      std::memcpy(buffer + filled, waiting_.data() + waiting_begin_, count);
      waiting_begin_ += count;
      filled += static_cast<uint32_t>(count);
      continue;
    }
    if (ended_) break;
    uint32_t written = 0;
    Result result = DecodeMore(buffer + filled, wanted - filled, written);
    if (!result.Ok()) {
      if (filled == 0) return result;
      deferred_failure_ = std::move(result);
      break;
    }
    filled += written;
  }
  if (filled == 0) return Failure(Status::EndOfStream);

  start = TimeAt(delivered_);
  delivered_ += filled / block_;
  end = TimeAt(delivered_);
  bytes = filled;
  return {};
}

Result AudioDecoder::DecodeMore(uint8_t* dest, uint32_t room, uint32_t& written) {
  written = 0;
  PacketDecoder::Step step{};
  Result result = packets_->Next(step);
  if (!result.Ok()) return result;
  if (step == PacketDecoder::Step::kFrame) return Accept(*packets_->Frame(), dest, room, written);

  // The end: what the resampler still holds is the stream's last samples.
  ended_ = true;
  const int bound = converter_->OutputBound(0);
  if (bound > 0) {
    uint8_t* tail = GrowWaiting(static_cast<std::size_t>(bound) * block_);
    const int count = converter_->Drain(tail, bound);
    if (count > 0) waiting_end_ += static_cast<std::size_t>(count) * block_;
  }
  return {};
}

Result AudioDecoder::Accept(const AVFrame& frame, uint8_t* dest, uint32_t room, uint32_t& written) {
  written = 0;
  const int offset = SamplesBeforeTarget(frame);
  if (offset >= frame.nb_samples) return {};

  if (!converter_->Matches(frame)) {
    // A mid-stream change of rate or channels: finish the old conversion first.
    const int held = converter_->OutputBound(0);
    if (held > 0) {
      uint8_t* tail = GrowWaiting(static_cast<std::size_t>(held) * block_);
      const int count = converter_->Drain(tail, held);
      if (count > 0) waiting_end_ += static_cast<std::size_t>(count) * block_;
    }
    const int err = converter_->Configure(frame);
    if (err < 0) return AverrorFailure(Status::Error, err);
  }

  const int bound = converter_->OutputBound(frame.nb_samples - offset);
  const std::size_t bound_bytes = static_cast<std::size_t>(bound) * block_;
  if (dest != nullptr && WaitingBytes() == 0 && bound_bytes <= room) {
    const int count = converter_->Convert(frame, offset, dest, bound);
    if (count < 0) return AverrorFailure(Status::Error, count);
    written = static_cast<uint32_t>(count) * block_;
    return {};
  }
  uint8_t* tail = GrowWaiting(bound_bytes);
  const int count = converter_->Convert(frame, offset, tail, bound);
  if (count < 0) return AverrorFailure(Status::Error, count);
  waiting_end_ += static_cast<std::size_t>(count) * block_;
  return {};
}

int AudioDecoder::SamplesBeforeTarget(const AVFrame& frame) {
  if (!restart_target_) return 0;
  const int64_t pts = frame.best_effort_timestamp;
  if (pts == AV_NOPTS_VALUE) {
    // No way to tell where the seek landed; take it as the target.
    restart_target_.reset();
    return 0;
  }
  const Time at = av_rescale_q(pts - origin_, time_base_, kHundredNanoseconds);
  const int64_t before = av_rescale(*restart_target_ - at, frame.sample_rate, 10'000'000);
  if (before >= frame.nb_samples) return frame.nb_samples;  // wholly before the target
  restart_target_.reset();
  if (before < 0) {
    // The container could only land after the target: the data starts where it landed.
    base_time_ = at;
    return 0;
  }
  return static_cast<int>(before);
}

void AudioDecoder::Restart(Time position) {
  packets_->Flush();
  converter_->Reset();
  waiting_begin_ = waiting_end_ = 0;
  base_time_ = position;
  delivered_ = 0;
  restart_target_ = position;
  ended_ = false;
  deferred_failure_ = {};
}

int64_t AudioDecoder::TimestampAt(Time position) const {
  return origin_ + av_rescale_q(position, kHundredNanoseconds, time_base_);
}

uint8_t* AudioDecoder::GrowWaiting(std::size_t bytes) {
  if (WaitingBytes() == 0) waiting_begin_ = waiting_end_ = 0;
  if (waiting_.size() < waiting_end_ + bytes) waiting_.resize(waiting_end_ + bytes);
  return waiting_.data() + waiting_end_;
}

Time AudioDecoder::TimeAt(int64_t samples) const {
  return base_time_ + av_rescale(samples, 10'000'000, format_.sampleRate);
}

}  // namespace platform::mmstream
