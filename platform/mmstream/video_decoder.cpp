#include "platform/mmstream/video_decoder.h"

#include "platform/mmstream/error_text.h"

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

STREAM_TIME FrameTime(const AVStream* stream) {
  for (AVRational rate : {stream->avg_frame_rate, stream->r_frame_rate}) {
    if (rate.num > 0 && rate.den > 0) return av_rescale(10'000'000, rate.den, rate.num);
  }
  return 0;
}

}  // namespace

HRESULT VideoDecoder::Open(Demuxer& demuxer, std::unique_ptr<VideoDecoder>& out) {
  out.reset();
  std::unique_ptr<PacketDecoder> packets;
  const HRESULT hr = PacketDecoder::Open(demuxer, kVideo, packets);
  if (Failed(hr)) return hr;
  std::unique_ptr<VideoDecoder> decoder(new VideoDecoder(std::move(packets)));
  const AVStream* stream = decoder->packets_->Stream();
  const AVCodecParameters* params = stream->codecpar;
  if (params->width > 0 && params->height > 0 && params->width <= kMaxDimension &&
      params->height <= kMaxDimension) {
    decoder->width_ = params->width;
    decoder->height_ = params->height;
  }
  decoder->time_per_frame_ = FrameTime(stream);
  decoder->time_base_ = stream->time_base;
  if (stream->start_time != AV_NOPTS_VALUE) decoder->origin_ = stream->start_time;
  out = std::move(decoder);
  return S_OK;
}

HRESULT VideoDecoder::SetBitCount(int bits) {
  if (bits != 16 && bits != 24 && bits != 32) return E_INVALIDARG;
  if (bits != bit_count_) scaler_.reset();
  bit_count_ = bits;
  return S_OK;
}

uint32_t VideoDecoder::FrameBytes() const {
  return static_cast<uint32_t>(width_) * static_cast<uint32_t>(height_) *
         static_cast<uint32_t>(bit_count_ / 8);
}

HRESULT VideoDecoder::Read(uint8_t* buffer, uint32_t size, STREAM_TIME& start, STREAM_TIME& end,
                           PacketDecoder::Clock::time_point deadline) {
  if (FrameBytes() == 0) return RecordFailure(VFW_E_INVALID_FILE_FORMAT, AVERROR_INVALIDDATA);
  if (buffer == nullptr || size < FrameBytes()) return E_INVALIDARG;
  for (;;) {
    PacketDecoder::Step step{};
    const HRESULT hr = packets_->Next(step, deadline);
    if (Failed(hr)) return hr;
    if (step == PacketDecoder::Step::kEnd) return MS_S_ENDOFSTREAM;
    if (step == PacketDecoder::Step::kTimedOut) return MS_S_PENDING;

    const AVFrame& frame = *packets_->Frame();
    const int64_t pts = frame.best_effort_timestamp;
    const STREAM_TIME frame_start =
        pts != AV_NOPTS_VALUE ? av_rescale_q(pts - origin_, time_base_, kHundredNanoseconds) : next_start_;
    STREAM_TIME length = time_per_frame_;
    if (length <= 0 && frame.pkt_duration > 0) {
      length = av_rescale_q(frame.pkt_duration, time_base_, kHundredNanoseconds);
    }
    if (restart_target_ && pts != AV_NOPTS_VALUE && frame_start + length <= *restart_target_) {
      continue;  // ends before the seek target
    }
    restart_target_.reset();

    const HRESULT rendered = Render(frame, buffer);
    if (Failed(rendered)) return rendered;
    start = frame_start;
    end = frame_start + length;
    next_start_ = end;
    return S_OK;
  }
}

HRESULT VideoDecoder::Render(const AVFrame& frame, uint8_t* buffer) {
  if (frame.width <= 0 || frame.height <= 0 || frame.format < 0) {
    return RecordFailure(E_FAIL, AVERROR_INVALIDDATA);
  }
  scaler_.reset(sws_getCachedContext(scaler_.release(), frame.width, frame.height,
                                     static_cast<AVPixelFormat>(frame.format), width_, height_,
                                     PixelFormatFor(bit_count_), SWS_BILINEAR, nullptr, nullptr,
                                     nullptr));
  if (!scaler_) return RecordFailure(E_FAIL, AVERROR(EINVAL));
  uint8_t* planes[4] = {buffer, nullptr, nullptr, nullptr};
  int strides[4] = {width_ * (bit_count_ / 8), 0, 0, 0};
  const int rows = sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
  if (rows != height_) return RecordFailure(E_FAIL, rows < 0 ? rows : AVERROR_INVALIDDATA);
  if (bit_count_ == 32) {
    // The scaler leaves the unused fourth byte at 255; the pixels promise 0 there.
    const std::size_t pixels = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    for (std::size_t i = 0; i < pixels; ++i) buffer[4 * i + 3] = 0;
  }
  return S_OK;
}

void VideoDecoder::Restart(STREAM_TIME position) {
  packets_->Flush();
  restart_target_ = position;
  next_start_ = position;
}

int64_t VideoDecoder::TimestampAt(STREAM_TIME position) const {
  return origin_ + av_rescale_q(position, kHundredNanoseconds, time_base_);
}

}  // namespace platform::mmstream
