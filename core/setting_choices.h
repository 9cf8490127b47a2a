// The items of the wizard's selectors and the numbers they stand for, from the one table of
// encoding choices (engine/encoding_settings.h). Each item's text carries its value as leading
// decimal digits ("128 kbps"); the channel modes and VBR qualities are listed in the order of
// their numbers. Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/translation.h"
#include "engine/encoding_settings.h"

namespace core {

// "8 kbps" ... "320 kbps", one item per offered bit rate; `unit` is the unit in the user's
// language.
std::vector<std::string> BitrateItems(const std::string& unit = "kbps");
// "32000 Hz", "44100 Hz", "48000 Hz".
std::vector<std::string> SampleRateItems();
// "Dual Channels", "Stereo", "Joint Stereo", "Mono" in the user's language: the item index is
// the channel mode's number.
std::vector<std::string> ChannelModeItems(TextLookup tr = EnglishText);
// The English interface text of a channel mode ("Joint Stereo").
const char* ChannelModeName(engine::ChannelMode mode);

// The number formed by the leading decimal digits of `text` ("44100 Hz" gives 44100); 0 when
// it starts with no digit; at most the largest 32-bit value.
std::int32_t LeadingNumber(std::string_view text);

// The index of the item whose number is nearest to `value` (the lower one of two equally near);
// -1 when `items` is empty.
int NearestItemIndex(const std::vector<std::string>& items, std::int32_t value);

}  // namespace core
