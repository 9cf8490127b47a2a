#include "platform/mmstream/asf_header.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace platform::mmstream {

namespace {

using Guid = std::array<std::uint8_t, 16>;

constexpr Guid kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kFileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                  0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kContentEncryption = {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11,
                                     0xB4, 0xB7, 0x00, 0xC0, 0x4F, 0xB3, 0xA5, 0xAA};
constexpr Guid kExtendedContentEncryption = {0x14, 0xE6, 0x8A, 0x29, 0x22, 0x26, 0x17, 0x4C,
                                             0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C};

constexpr std::size_t kObjectHeader = 24;   // GUID and size
constexpr std::size_t kHeaderPrefix = 30;   // the header object's own fields
constexpr std::size_t kMaxHeaderRead = 16u << 20;

std::uint64_t Le64(const std::uint8_t* p) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | p[i];
  return value;
}

bool Is(const std::uint8_t* p, const Guid& guid) { return std::memcmp(p, guid.data(), guid.size()) == 0; }

void ReadFileProperties(const std::uint8_t* object, std::size_t size, AsfHeaderFacts& facts) {
  if (size < 96) return;
  const std::uint64_t play = Le64(object + 64);
  const std::uint64_t prerollMs = Le64(object + 80);
  const bool broadcast = (object[88] & 0x01) != 0;
  if (broadcast || prerollMs > play / 10'000) return;
  const std::uint64_t duration = play - prerollMs * 10'000;
  if (duration <= static_cast<std::uint64_t>(INT64_MAX)) facts.playDuration = static_cast<std::int64_t>(duration);
}

}  // namespace

AsfHeaderFacts ReadAsfHeaderFacts(const std::uint8_t* bytes, std::size_t size) {
  AsfHeaderFacts facts;
  if (size < kHeaderPrefix || !Is(bytes, kHeaderObject)) return facts;
  facts.isAsf = true;
  // The header's children end where the header says it ends, or where the bytes do.
  const std::uint64_t declared = Le64(bytes + 16);
  const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(declared, size));
  std::size_t at = kHeaderPrefix;
  while (at + kObjectHeader <= end) {
    const std::uint64_t objectSize = Le64(bytes + at + 16);
    // An object smaller than its own header, or larger than what is left, ends the walk.
    if (objectSize < kObjectHeader || objectSize > end - at) break;
    const std::uint8_t* object = bytes + at;
    if (Is(object, kFileProperties)) ReadFileProperties(object, static_cast<std::size_t>(objectSize), facts);
    if (Is(object, kContentEncryption) || Is(object, kExtendedContentEncryption)) facts.encrypted = true;
    at += static_cast<std::size_t>(objectSize);
  }
  return facts;
}

AsfHeaderFacts ReadAsfHeaderFacts(int fd) {
  std::uint8_t prefix[kHeaderPrefix];
  ssize_t got;
  do {
    got = ::pread(fd, prefix, sizeof prefix, 0);
  } while (got < 0 && errno == EINTR);
  if (got != static_cast<ssize_t>(sizeof prefix) || !Is(prefix, kHeaderObject)) return {};
  const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(Le64(prefix + 16), kMaxHeaderRead));
  std::vector<std::uint8_t> header(std::max(size, kHeaderPrefix));
  std::size_t filled = 0;
  while (filled < header.size()) {
    const ssize_t n = ::pread(fd, header.data() + filled, header.size() - filled, static_cast<off_t>(filled));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    filled += static_cast<std::size_t>(n);
  }
  return ReadAsfHeaderFacts(header.data(), filled);
}

}  // namespace platform::mmstream
