#include "engine/mp3_frames.h"

namespace engine {

std::optional<std::uint64_t> Id3v2TagSize(const std::uint8_t* head, std::size_t length) {
  if (length < 3 || head[0] != 'I' || head[1] != 'D' || head[2] != '3') return 0;
  if (length < 10) return std::nullopt;
  // Version bytes are below 0xFF and the four size bytes are "syncsafe" (7 bits each).
  if (head[3] == 0xFF || head[4] == 0xFF) return std::nullopt;
  std::uint64_t body = 0;
  for (int i = 6; i < 10; ++i) {
    if (head[i] & 0x80) return std::nullopt;
    body = (body << 7) | head[i];
  }
  const bool hasFooter = (head[5] & 0x10) != 0;
  return 10 + body + (hasFooter ? 10 : 0);
}

bool IsFrameHeader(const std::uint8_t* p, std::size_t length) {
  if (length < 4) return false;
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  const int version = (p[1] >> 3) & 3;   // 1 is reserved
  const int layer = (p[1] >> 1) & 3;     // 0 is reserved
  const int bitrate = (p[2] >> 4) & 15;  // 15 is invalid
  const int rate = (p[2] >> 2) & 3;      // 3 is reserved
  return version != 1 && layer != 0 && bitrate != 15 && rate != 3;
}

}  // namespace engine
