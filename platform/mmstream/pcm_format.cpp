#include "platform/mmstream/pcm_format.h"

namespace platform::mmstream {

PcmShape DeliveredShape(AVSampleFormat source_format, int source_channels, int rate, SampleDelivery samples) {
  PcmShape shape;
  const AVSampleFormat packed = av_get_packed_sample_fmt(source_format);
  if (samples == SampleDelivery::kFloatOrSixteenBit) {
    // Floating-point decoders, and integer ones with more than 16 bits (24-bit FLAC and WAV
    // decode to 32 bits): cutting those to 16 bits would throw away what the encoder could use.
    const bool wide = packed == AV_SAMPLE_FMT_FLT || packed == AV_SAMPLE_FMT_DBL || packed == AV_SAMPLE_FMT_S32 ||
                      packed == AV_SAMPLE_FMT_S64;
    shape.sample_format = wide ? AV_SAMPLE_FMT_FLT : AV_SAMPLE_FMT_S16;
  } else {
    shape.sample_format = packed == AV_SAMPLE_FMT_U8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
  }
  shape.channels = source_channels == 1 ? 1 : 2;
  shape.rate = rate;
  return shape;
}

PcmFormat Describe(const PcmShape& shape) {
  PcmFormat format;
  format.channels = shape.channels;
  format.sampleRate = shape.rate;
  format.bitsPerSample = av_get_bytes_per_sample(shape.sample_format) * 8;
  format.floatSamples = shape.sample_format == AV_SAMPLE_FMT_FLT;
  return format;
}

void NamedLayout(const AVChannelLayout& declared, AVChannelLayout* out) {
  if (declared.order != AV_CHANNEL_ORDER_UNSPEC && declared.nb_channels > 0 &&
      av_channel_layout_copy(out, &declared) == 0) {
    return;
  }
  av_channel_layout_default(out, declared.nb_channels);
}

std::vector<double> PlainDownmix(int in_channels, int out_channels) {
  std::vector<double> matrix;
  if (in_channels <= 0 || out_channels <= 0) return matrix;
  matrix.assign(static_cast<std::size_t>(in_channels) * static_cast<std::size_t>(out_channels), 0.0);
  for (int out = 0; out < out_channels; ++out) {
    int count = 0;
    for (int in = 0; in < in_channels; ++in) {
      if (in % out_channels == out) ++count;
    }
    for (int in = 0; in < in_channels; ++in) {
      if (in % out_channels == out) {
        matrix[static_cast<std::size_t>(out) * in_channels + in] = 1.0 / count;
      }
    }
  }
  return matrix;
}

}  // namespace platform::mmstream
