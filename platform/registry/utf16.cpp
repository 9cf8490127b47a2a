#include "platform/registry/utf16.h"

#include "platform/utf8.h"

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point at `pos`, advancing `pos`; an invalid byte gives U+FFFD and advances by one.
char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
  const std::size_t length = Utf8SequenceLength(text, pos);
  if (length == 0) {
    ++pos;
    return kReplacement;
  }
  const char32_t c = DecodeUtf8Sequence(text, pos, length);
  pos += length;
  return c;
}

}  // namespace

std::string Utf16LeToUtf8(const std::uint8_t* bytes, std::size_t size, bool stopAtNul) {
  std::string out;
  const std::size_t units = size / 2;
  const auto unitAt = [&](std::size_t i) {
    return static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  };
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t unit = unitAt(i);
    if (unit == 0 && stopAtNul) break;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
      const char16_t low = unitAt(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(low) - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : char32_t(unit));
  }
  return out;
}

std::vector<std::uint8_t> Utf8ToUtf16Le(std::string_view text, bool terminate) {
  std::vector<std::uint8_t> out;
  out.reserve(text.size() * 2 + 2);
  std::size_t pos = 0;
  while (pos < text.size()) {
    AppendUtf16Le(out, NextCodePoint(text, pos));
  }
  if (terminate) AppendUtf16Le(out, 0);
  return out;
}

}  // namespace platform
