// UTF-16LE, the registry's own text encoding, to and from the UTF-8 texts of the program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Decodes UTF-16LE bytes. With `stopAtNul` the text ends at the first NUL code unit (the
// registry's string terminator). An odd last byte is dropped; an unpaired surrogate becomes
// U+FFFD, so the result is always valid UTF-8.
std::string Utf16LeToUtf8(const std::uint8_t* bytes, std::size_t size, bool stopAtNul);

// Encodes UTF-8 text as UTF-16LE, followed by a NUL code unit when `terminate` is set. A byte
// that is not part of a valid UTF-8 sequence becomes U+FFFD.
std::vector<std::uint8_t> Utf8ToUtf16Le(std::string_view text, bool terminate);

}  // namespace platform
