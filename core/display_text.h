// The texts of durations and sizes that the windows show. Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/translation.h"

namespace core {

// A duration (100-nanosecond units) as hours:minutes:seconds.tenths, truncated: 0:06:12.3.
// Hours have no upper bound; a negative duration reads as 0.
std::string FormatDuration(std::int64_t duration);

// A size in kilobytes as megabytes with two decimals and " MB", with the user's decimal
// separator: 2966 gives "2.90 MB" or "2,90 MB".
std::string FormatSize(std::int32_t kilobytes, std::string_view decimalSeparator = ".");

// A source's audio as the wizard describes it: "44100 Hz, stereo", "22050 Hz, mono",
// "48000 Hz, 6 channels"; without a channel count only the rate.
std::string FormatSourceAudio(std::int32_t sampleRate, std::int32_t channels, TextLookup tr = EnglishText);

// A picture as its type and size: "JPEG, 18 KB" for 18 000 bytes of "image/jpeg" (kilobytes of
// 1024 bytes, rounded up); only the size when the type is unknown.
std::string FormatPicture(const std::string& mimeType, std::int64_t bytes);


}  // namespace core
