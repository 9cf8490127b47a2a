// The rules for the PCM the layer delivers, as plain functions of the decoded source format and
// of what the caller asked for (audio_delivery.h).
//
// Delivered PCM is interleaved, at the asked-for rate (by default the source's own); its sample
// format follows the SampleDelivery asked for; one channel for a mono source and two for every
// other.
#pragma once

#include "platform/mmstream/audio_delivery.h"
#include "platform/mmstream/formats.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include <vector>

namespace platform::mmstream {

// Rates outside 1 … this are damaged headers (or requests), not audio.
constexpr int kMaxSampleRate = 1'000'000;

struct PcmShape {
  AVSampleFormat sample_format = AV_SAMPLE_FMT_S16;
  int channels = 2;
  int rate = 0;
};

// `rate` is the delivered rate (already resolved: never 0).
PcmShape DeliveredShape(AVSampleFormat source_format, int source_channels, int rate,
                        SampleDelivery samples = SampleDelivery::kEightOrSixteenBit);

// The PCM description of `shape`: float for AV_SAMPLE_FMT_FLT, integer for the others.
PcmFormat Describe(const PcmShape& shape);

// `declared` when it names its channels, else the usual layout for its channel count (a source
// that does not say which channel is which is read as the standard layout for that many). The
// result may still be unnamed for counts that have no standard layout; uninit it after use.
void NamedLayout(const AVChannelLayout& declared, AVChannelLayout* out);

// Mixing weights, row by row (output channel) over `in_channels` columns, for sources whose
// channels have no names: even-numbered channels to the left, odd-numbered to the right, each
// side scaled so that it cannot clip. With one output channel, all inputs are averaged.
std::vector<double> PlainDownmix(int in_channels, int out_channels);

}  // namespace platform::mmstream
