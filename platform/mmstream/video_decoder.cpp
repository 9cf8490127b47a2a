#include "platform/mmstream/video_decoder.h"

namespace platform::mmstream {

namespace {

constexpr AVRational kHundredNanoseconds = {1, 10'000'000};
// Larger pictures are damaged headers; the bound also keeps a frame's byte count in 32 bits.
constexpr int kMaxDimension = 16384;

AVPixelFormat PixelFormatFor(int bits) {
  switch (bits) {
    case 16:
      return AV_PIX_FMT_RGB565LE;
    case 24:
      return AV_PIX_FMT_BGR24;
    default:
      return AV_PIX_FMT_BGR0;
  }
}

Time FrameTime(const AVStream* stream) {
  for (AVRational rate : {stream->avg_frame_rate, stream->r_frame_rate}) {
    if (rate.num > 0 && rate.den > 0) return av_rescale(10'000'000, rate.den, rate.num);
  }
  return 0;
}

}  // namespace

Result VideoDecoder::Open(Demuxer& demuxer, std::unique_ptr<VideoDecoder>& out) {
  out.reset();
  std::unique_ptr<PacketDecoder> packets;
  Result result = PacketDecoder::Open(demuxer, kVideo, packets);
  if (!result.Ok()) return result;
  std::unique_ptr<VideoDecoder> decoder(new VideoDecoder(std::move(packets)));
  const AVStream* stream = decoder->packets_->Stream();
  const AVCodecParameters* params = stream->codecpar;
  if (params->width > 0 && params->height > 0 && params->width <= kMaxDimension &&
      params->height <= kMaxDimension) {
    decoder->format_.width = params->width;
    decoder->format_.height = params->height;
  }
  decoder->format_.bitsPerPixel = 32;
  decoder->format_.timePerFrame = FrameTime(stream);
  decoder->time_base_ = stream->time_base;
  if (stream->start_time != AV_NOPTS_VALUE) decoder->origin_ = stream->start_time;
  out = std::move(decoder);
  return {};
}

Status VideoDecoder::SetBitsPerPixel(int bits) {
  if (bits != 16 && bits != 24 && bits != 32) return Status::InvalidArgument;
  if (bits != format_.bitsPerPixel) scaler_.reset();
  format_.bitsPerPixel = bits;
  return Status::Ok;
}

Result VideoDecoder::Read(uint8_t* buffer, uint32_t size, Time& start, Time& end,
                          PacketDecoder::Clock::time_point deadline) {
  const uint32_t frame_bytes = format_.FrameBytes();
  if (frame_bytes == 0) return AverrorFailure(Status::NotMedia, AVERROR_INVALIDDATA);
  if (buffer == nullptr || size < frame_bytes) {
    return Failure(Status::InvalidArgument, "The buffer is too small for one frame.");
  }
  for (;;) {
    PacketDecoder::Step step{};
    Result result = packets_->Next(step, deadline);
    if (!result.Ok()) return result;
    if (step == PacketDecoder::Step::kEnd) return Failure(Status::EndOfStream);
    if (step == PacketDecoder::Step::kTimedOut) return Failure(Status::Pending);

    const AVFrame& frame = *packets_->Frame();
    const int64_t pts = frame.best_effort_timestamp;
    const Time frame_start =
        pts != AV_NOPTS_VALUE ? av_rescale_q(pts - origin_, time_base_, kHundredNanoseconds) : next_start_;
    Time length = format_.timePerFrame;
    if (length <= 0 && frame.pkt_duration > 0) {
      length = av_rescale_q(frame.pkt_duration, time_base_, kHundredNanoseconds);
    }
    if (restart_target_ && pts != AV_NOPTS_VALUE && frame_start + length <= *restart_target_) {
      continue;  // ends before the seek target
    }
    restart_target_.reset();

    result = Render(frame, buffer);
    if (!result.Ok()) return result;
    start = frame_start;
    end = frame_start + length;
    next_start_ = end;
    return {};
  }
}

Result VideoDecoder::Render(const AVFrame& frame, uint8_t* buffer) {
  if (frame.width <= 0 || frame.height <= 0 || frame.format < 0) {
    return AverrorFailure(Status::Error, AVERROR_INVALIDDATA);
  }
  scaler_.reset(sws_getCachedContext(scaler_.release(), frame.width, frame.height,
                                     static_cast<AVPixelFormat>(frame.format), format_.width, format_.height,
                                     PixelFormatFor(format_.bitsPerPixel), SWS_BILINEAR, nullptr, nullptr,
                                     nullptr));
  if (!scaler_) return AverrorFailure(Status::Error, AVERROR(EINVAL));
  uint8_t* planes[4] = {buffer, nullptr, nullptr, nullptr};
  int strides[4] = {format_.width * (format_.bitsPerPixel / 8), 0, 0, 0};
  const int rows = sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
  if (rows != format_.height) return AverrorFailure(Status::Error, rows < 0 ? rows : AVERROR_INVALIDDATA);
  if (format_.bitsPerPixel == 32) {
    // The scaler leaves the unused fourth byte at 255; the pixels promise 0 there.
    const std::size_t pixels = static_cast<std::size_t>(format_.width) * static_cast<std::size_t>(format_.height);
    for (std::size_t i = 0; i < pixels; ++i) buffer[4 * i + 3] = 0;
  }
  return {};
}

void VideoDecoder::Restart(Time position) {
  packets_->Flush();
  restart_target_ = position;
  next_start_ = position;
}

int64_t VideoDecoder::TimestampAt(Time position) const {
  return origin_ + av_rescale_q(position, kHundredNanoseconds, time_base_);
}

}  // namespace platform::mmstream
