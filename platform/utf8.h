// UTF-8, the encoding of every text inside the program, read and written strictly: no overlong
// forms, no surrogates, nothing above U+10FFFF. Callers choose what an invalid byte becomes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// `text` with the ASCII letters A–Z (or a–z) changed to the other case; every other byte, those
// of UTF-8 sequences included, stays as it is. For extensions, file names and format names.
std::string AsciiLower(std::string text);
std::string AsciiUpper(std::string text);

// The length (1 to 4) of the valid UTF-8 sequence that starts at text[pos], or 0 when none does.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos);

// The code point of the valid sequence of `length` bytes at text[pos].
char32_t DecodeUtf8Sequence(std::string_view text, std::size_t pos, std::size_t length);

// Appends the UTF-8 form of `c` (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t c);

// Appends the UTF-16LE form of `c`: one code unit, or a surrogate pair above U+FFFF.
void AppendUtf16Le(std::vector<std::uint8_t>& out, char32_t c);

}  // namespace platform
