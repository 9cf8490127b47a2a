// Helpers for the program's texts, which are UTF-8: cutting a text to a number of characters
// without splitting one, and giving legacy 8-bit texts a UTF-8 form. Any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF).
bool IsValidUtf8(std::string_view text);

// The first `maxCharacters` characters of `text`, never ending inside a UTF-8 sequence. A byte
// that belongs to no valid sequence counts as one character.
std::string CutToCharacters(std::string_view text, std::size_t maxCharacters);

// `text` read as Windows-1252, the Western legacy code page, in UTF-8. The five byte values
// that code page leaves undefined become U+FFFD.
std::string Windows1252ToUtf8(std::string_view text);

// `text` itself when it is valid UTF-8, otherwise the whole text read as Windows-1252. Tags
// that come byte for byte from media files (ID3v1, RealMedia, classic QuickTime) may be in a
// legacy 8-bit encoding; this way no invalid text reaches a window or a tag.
std::string ToValidUtf8(std::string_view text);
