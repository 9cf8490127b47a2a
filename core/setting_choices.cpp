#include "core/setting_choices.h"

#include <cstdlib>
#include <limits>

#include "engine/encoding_settings.h"
#include "core/interface_texts.h"

namespace core {

std::vector<std::string> BitrateItems(const std::string& unit) {
  std::vector<std::string> items;
  for (int kbps : engine::kBitRates) items.push_back(std::to_string(kbps) + " " + unit);
  return items;
}

std::vector<std::string> SampleRateItems() {
  std::vector<std::string> items;
  for (int hz : engine::kSampleRates) items.push_back(std::to_string(hz) + " Hz");
  return items;
}

std::vector<std::string> ChannelModeItems(TextLookup tr) {
  std::vector<std::string> items;
  for (engine::ChannelMode mode : engine::kChannelModes) items.push_back(tr(ChannelModeName(mode)));
  return items;
}

const char* ChannelModeName(engine::ChannelMode mode) {
  switch (mode) {
    case engine::ChannelMode::DualChannel: return lang::DualChannelsMode;
    case engine::ChannelMode::Stereo: return lang::StereoMode;
    case engine::ChannelMode::JointStereo: return lang::JointStereoMode;
    case engine::ChannelMode::Mono: return lang::MonoMode;
  }
  return lang::JointStereoMode;
}

std::int32_t LeadingNumber(std::string_view text) {
  std::int64_t number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    number = number * 10 + (c - '0');
    if (number > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(number);
}

int NearestItemIndex(const std::vector<std::string>& items, std::int32_t value) {
  int best = -1;
  std::int64_t bestDistance = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::int64_t distance = std::llabs(std::int64_t{LeadingNumber(items[i])} - value);
    if (best < 0 || distance < bestDistance ||
        (distance == bestDistance && LeadingNumber(items[i]) < LeadingNumber(items[static_cast<std::size_t>(best)]))) {
      best = static_cast<int>(i);
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace core
