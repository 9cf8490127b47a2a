#include "engine/encoding_settings.h"

namespace engine {

std::unique_ptr<Mp3Output> MakeMp3Output() {
  auto out = std::make_unique<Mp3Output>(nullptr);
  out->SetSuspendWhenIdle(true);
  out->bitRate = Mp3BitRate::Kbps192;
  out->sampleRate = Mp3SampleRate::Hz44100;
  out->quality = 2;
  out->vbrQuality = 2;
  out->original = false;
  return out;
}

void ConfigureMp3Output(Mp3Output& out, const EncodingSettings& settings) {
  for (int rate = static_cast<int>(Mp3BitRate::Kbps8); rate <= static_cast<int>(Mp3BitRate::Kbps320); ++rate) {
    const auto candidate = static_cast<Mp3BitRate>(rate);
    if (BitRateKbps(candidate) == settings.bitrate) out.bitRate = candidate;
  }
  out.vbrMinBitrate = settings.vbrMinBitrate;
  out.vbrMaxBitrate = settings.vbrMaxBitrate;
  switch (settings.channelMode) {
    case 0: out.channelMode = Mp3ChannelMode::DualChannel; break;
    case 1: out.channelMode = Mp3ChannelMode::Stereo; break;
    case 2: out.channelMode = Mp3ChannelMode::JointStereo; break;
    default: out.channelMode = Mp3ChannelMode::Mono; break;
  }
  out.vbr = settings.vbr;
  out.writeVbrHeader = settings.vbr;
  out.sampleRate = settings.sampleRate == 32000   ? Mp3SampleRate::Hz32000
                   : settings.sampleRate == 48000 ? Mp3SampleRate::Hz48000
                                                  : Mp3SampleRate::Hz44100;
  out.tags = settings.tags;
}

}  // namespace engine
