// The items of the wizard's selectors and the numbers they stand for. Each item's text carries
// its value as leading decimal digits ("128 kbps"); the channel mode stands for its index.
// Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// "8 kbps" ... "320 kbps", one item per entry of BitrateTable.
std::vector<std::string> BitrateItems();
// "32000 Hz", "44100 Hz", "48000 Hz".
std::vector<std::string> SampleRateItems();
// "Dual Channels", "Stereo", "Joint Stereo", "Mono" (interface texts): the item index is the
// channel mode.
std::vector<std::string> ChannelModeItems();
// The channel mode a selector falls back to when none is chosen: joint stereo.
inline constexpr int DefaultChannelMode = 2;

// The number formed by the leading decimal digits of `text` ("44100 Hz" gives 44100); 0 when
// it starts with no digit; at most the largest 32-bit value.
std::int32_t LeadingNumber(std::string_view text);

// The index of the item whose number is nearest to `value` (the lower one of two equally near);
// -1 when `items` is empty.
int NearestItemIndex(const std::vector<std::string>& items, std::int32_t value);
