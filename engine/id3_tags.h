// The texts of the two ID3 tags an MP3 file carries: ID3v1 at the end (Latin-1, 30-byte
// fields, written by the encoder) and ID3v2.3 at the start (any language), which every modern
// reader prefers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace engine {

// The characters of a UTF-8 text; bytes that are not valid UTF-8 are taken to be Latin-1.
std::u32string DecodeUtf8Leniently(const std::string& text);

// The Latin-1 bytes of a UTF-8 text: characters beyond Latin-1 become "?".
std::string Id3v1Text(const std::string& utf8);

struct Id3Texts {
  std::string title, artist, album, year, track, comment, genre;  // UTF-8
};

// An ID3v2.3 tag holding the non-empty texts (Latin-1 frames where that suffices, UTF-16
// otherwise); empty when every text is empty.
std::vector<std::uint8_t> BuildId3v2Tag(const Id3Texts& texts);

}  // namespace engine
