#include "engine/encoding_settings.h"

#include <algorithm>
#include <cstdlib>

namespace engine {

namespace {

template <std::size_t N>
int Nearest(const std::array<int, N>& offered, int value) {
  int best = offered.front();
  for (int candidate : offered) {
    if (std::abs(candidate - value) < std::abs(best - value)) best = candidate;
  }
  return best;
}

}  // namespace

bool IsOfferedBitRate(int kbps) { return std::find(kBitRates.begin(), kBitRates.end(), kbps) != kBitRates.end(); }

bool IsOfferedSampleRate(int hz) {
  return std::find(kSampleRates.begin(), kSampleRates.end(), hz) != kSampleRates.end();
}

bool IsVbrQuality(int quality) { return quality >= kBestVbrQuality && quality <= kSmallestVbrQuality; }

std::optional<ChannelMode> ChannelModeOf(int number) {
  for (ChannelMode mode : kChannelModes) {
    if (NumberOf(mode) == number) return mode;
  }
  return std::nullopt;
}

ChannelMode ModeForSource(int sourceChannels, ChannelMode preferred) {
  return sourceChannels == 1 ? ChannelMode::Mono : preferred;
}

int NearestBitRate(int kbps) { return Nearest(kBitRates, kbps); }

int NearestSampleRate(int hz) { return Nearest(kSampleRates, hz); }

EncodingSettings Sanitized(EncodingSettings settings) {
  settings.bitrate = NearestBitRate(settings.bitrate);
  settings.sampleRate = NearestSampleRate(settings.sampleRate);
  settings.vbrQuality = std::clamp(settings.vbrQuality, kBestVbrQuality, kSmallestVbrQuality);
  if (settings.vbrMinBitrate != 0) settings.vbrMinBitrate = NearestBitRate(settings.vbrMinBitrate);
  if (settings.vbrMaxBitrate != 0) settings.vbrMaxBitrate = NearestBitRate(settings.vbrMaxBitrate);
  if (settings.vbrMinBitrate != 0 && settings.vbrMaxBitrate != 0 && settings.vbrMaxBitrate < settings.vbrMinBitrate)
    std::swap(settings.vbrMinBitrate, settings.vbrMaxBitrate);
  if (!ChannelModeOf(NumberOf(settings.channelMode))) settings.channelMode = ChannelMode::JointStereo;
  return settings;
}

}  // namespace engine
