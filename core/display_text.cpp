#include "core/display_text.h"

#include "core/interface_texts.h"
#include "platform/utf8.h"

#include <algorithm>
#include <charconv>

namespace core {

std::string FormatSourceAudio(std::int32_t sampleRate, std::int32_t channels, TextLookup tr) {
  std::string text = std::to_string(sampleRate) + " Hz";
  if (channels == 1) return text + ", " + tr(lang::MonoSource);
  if (channels == 2) return text + ", " + tr(lang::StereoSource);
  if (channels > 2) return text + ", " + std::to_string(channels) + " " + tr(lang::ChannelsWord);
  return text;
}

std::string FormatPicture(const std::string& mimeType, std::int64_t bytes) {
  const std::string type = platform::AsciiUpper(mimeType.substr(mimeType.rfind('/') + 1));  // "image/png" reads "PNG"
  const std::string size = std::to_string((std::max<std::int64_t>(bytes, 0) + 1023) / 1024) + " KB";
  return type.empty() ? size : type + ", " + size;
}

std::string FormatDuration(std::int64_t duration) {
  const std::int64_t tenths = std::max<std::int64_t>(duration, 0) / 1'000'000;
  const std::int64_t hours = tenths / 36000;
  std::int64_t rest = tenths - hours * 36000;
  const std::int64_t minutes = rest / 600;
  rest -= minutes * 600;
  const std::int64_t seconds = rest / 10;
  const auto twoDigits = [](std::int64_t value) { return (value <= 9 ? "0" : "") + std::to_string(value); };
  return std::to_string(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(seconds) + "." +
         std::to_string(rest % 10);
}

std::string FormatSize(std::int32_t kilobytes, std::string_view decimalSeparator) {
  // to_chars ignores the process's locale, so the separator is exactly the one asked for.
  char digits[64];
  const auto written =
      std::to_chars(digits, digits + sizeof digits, kilobytes / 1024.0, std::chars_format::fixed, 2);
  std::string text(digits, written.ptr);
  const std::size_t point = text.find('.');
  if (point != std::string::npos) text.replace(point, 1, decimalSeparator);
  return text + " MB";
}

}  // namespace core
