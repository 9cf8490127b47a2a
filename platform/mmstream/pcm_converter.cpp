#include "platform/mmstream/pcm_converter.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <vector>

namespace platform::mmstream {

PcmConverter::PcmConverter(const PcmShape& out)
    : out_(out), block_bytes_(out.channels * av_get_bytes_per_sample(out.sample_format)) {
  av_channel_layout_default(&out_layout_, out.channels);
}

PcmConverter::~PcmConverter() {
  av_channel_layout_uninit(&out_layout_);
  av_channel_layout_uninit(&in_layout_);
}

bool PcmConverter::Matches(const AVFrame& frame) const {
  return resampler_ && frame.format == in_format_ && frame.sample_rate == in_rate_ &&
         av_channel_layout_compare(&frame.ch_layout, &in_layout_) == 0;
}

void PcmConverter::Reset() {
  resampler_.reset();
  in_format_ = AV_SAMPLE_FMT_NONE;
  in_rate_ = 0;
  av_channel_layout_uninit(&in_layout_);
}

int PcmConverter::Configure(const AVFrame& frame) {
  Reset();
  if (frame.sample_rate <= 0 || frame.ch_layout.nb_channels <= 0 || frame.format < 0) {
    return AVERROR_INVALIDDATA;
  }
  int err = av_channel_layout_copy(&in_layout_, &frame.ch_layout);
  if (err < 0) return err;

  AVChannelLayout named{};
  NamedLayout(frame.ch_layout, &named);
  const auto format = static_cast<AVSampleFormat>(frame.format);
  SwrContext* raw = nullptr;
  err = swr_alloc_set_opts2(&raw, &out_layout_, out_.sample_format, out_.rate, &named, format,
                            frame.sample_rate, 0, nullptr);
  ResamplerPtr resampler(raw);
  // A downmix to float is not scaled down by default, so that it could exceed full scale; it
  // gets the same weights as one to integers, so both deliveries have the same level.
  if (err >= 0) err = av_opt_set_double(resampler.get(), "rematrix_maxval", 1.0, 0);
  // Without channel names the resampler cannot build a mix; give it a plain one.
  if (err >= 0 && named.order == AV_CHANNEL_ORDER_UNSPEC && named.nb_channels != out_.channels) {
    const std::vector<double> matrix = PlainDownmix(named.nb_channels, out_.channels);
    err = swr_set_matrix(resampler.get(), matrix.data(), named.nb_channels);
  }
  av_channel_layout_uninit(&named);
  if (err >= 0) err = swr_init(resampler.get());
  if (err < 0) {
    Reset();
    return err;
  }
  resampler_ = std::move(resampler);
  in_format_ = format;
  in_rate_ = frame.sample_rate;
  return 0;
}

int PcmConverter::OutputBound(int in_samples) const {
  if (!resampler_) return 0;
  const int bound = swr_get_out_samples(resampler_.get(), in_samples);
  return bound > 0 ? bound : 0;
}

int PcmConverter::Convert(const AVFrame& frame, int offset, uint8_t* dest, int capacity) {
  if (!resampler_ || offset < 0 || offset > frame.nb_samples) return AVERROR(EINVAL);
  const auto format = static_cast<AVSampleFormat>(frame.format);
  const int channels = frame.ch_layout.nb_channels;
  const int sample_bytes = av_get_bytes_per_sample(format);
  // Start `offset` samples into every plane (or into the one interleaved plane).
  std::vector<const uint8_t*> in;
  if (av_sample_fmt_is_planar(format)) {
    for (int c = 0; c < channels; ++c) in.push_back(frame.extended_data[c] + offset * sample_bytes);
  } else {
    in.push_back(frame.extended_data[0] + static_cast<std::size_t>(offset) * sample_bytes * channels);
  }
  uint8_t* out[1] = {dest};
  return swr_convert(resampler_.get(), out, capacity, in.data(), frame.nb_samples - offset);
}

int PcmConverter::Drain(uint8_t* dest, int capacity) {
  if (!resampler_) return 0;
  uint8_t* out[1] = {dest};
  return swr_convert(resampler_.get(), out, capacity, nullptr, 0);
}

}  // namespace platform::mmstream
