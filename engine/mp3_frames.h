// Locating MPEG audio frames in the bytes at the start of an MP3 file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace engine {

// Size in bytes of the ID3v2 tag at the start of `head` (header, body and footer), 0 when there
// is none, or nullopt when `head` starts like an ID3v2 tag but its header is malformed.
std::optional<std::uint64_t> Id3v2TagSize(const std::uint8_t* head, std::size_t length);

// True when the four bytes at `p` form a plausible MPEG audio frame header.
bool IsFrameHeader(const std::uint8_t* p, std::size_t length);

}  // namespace engine
