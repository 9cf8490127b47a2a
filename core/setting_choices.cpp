#include "core/setting_choices.h"

#include <cstdlib>
#include <limits>

#include "core/conversion_task.h"
#include "core/interface_texts.h"

std::vector<std::string> BitrateItems() {
  std::vector<std::string> items;
  for (std::int32_t kbps : BitrateTable) items.push_back(std::to_string(kbps) + " kbps");
  return items;
}

std::vector<std::string> SampleRateItems() { return {"32000 Hz", "44100 Hz", "48000 Hz"}; }

std::vector<std::string> ChannelModeItems() {
  return {lang::DualChannelsMode, lang::StereoMode, lang::JointStereoMode, lang::MonoMode};
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
