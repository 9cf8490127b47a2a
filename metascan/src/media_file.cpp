#include "media_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace metascan {

std::optional<MediaFile> MediaFile::open(const char* path) {
  // O_NONBLOCK only so that opening a pipe returns at once; it is refused right after.
  int descriptor = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (descriptor < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
    ::close(descriptor);
    return std::nullopt;
  }
  return MediaFile(descriptor, static_cast<std::uint64_t>(info.st_size));
}

MediaFile::MediaFile(MediaFile&& other) noexcept
    : descriptor_(other.descriptor_), size_(other.size_) {
  other.descriptor_ = -1;
}

MediaFile::~MediaFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

std::size_t MediaFile::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
  // The file is read as it was when opened: bytes appended since then are not there.
  if (offset >= size_) return 0;
  if (out.size() > size_ - offset) out = out.first(static_cast<std::size_t>(size_ - offset));
  std::size_t done = 0;
  while (done < out.size()) {
    ssize_t got = ::pread(descriptor_, out.data() + done, out.size() - done,
                          static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

std::optional<std::vector<std::uint8_t>> MediaFile::readBlock(std::uint64_t offset,
                                                              std::uint64_t count) const {
  if (offset > size_ || count > size_ - offset) return std::nullopt;
  std::vector<std::uint8_t> block(static_cast<std::size_t>(count));
  // The file may have shrunk since it was opened: a short read is a missing block.
  if (readAt(offset, block) != block.size()) return std::nullopt;
  return block;
}

}  // namespace metascan
