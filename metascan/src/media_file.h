// One media file opened for reading by offset. Owns the file descriptor and closes it on
// destruction, so every path out of a reader closes the file. Used on the calling thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace metascan {

class MediaFile {
 public:
  // Opens `path` read-only. Nothing when it cannot be opened or is not a regular file (a folder,
  // a pipe or a device has no bytes to probe, and opening a pipe must not wait for a writer).
  static std::optional<MediaFile> open(const char* path);

  MediaFile(MediaFile&& other) noexcept;
  MediaFile& operator=(MediaFile&&) = delete;
  MediaFile(const MediaFile&) = delete;
  ~MediaFile();

  // The size when the file was opened; every block read is bounded by it.
  std::uint64_t size() const { return size_; }

  // Reads up to out.size() bytes at `offset`; returns how many arrived (fewer at the end of the
  // file as it was when opened).
  std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> out) const;

  // Exactly `count` bytes at `offset` in a new buffer, or nothing when the file does not hold
  // them. The count is checked against the file size before anything is allocated, so no size
  // claimed inside a file can make this allocate more than the file holds.
  std::optional<std::vector<std::uint8_t>> readBlock(std::uint64_t offset,
                                                     std::uint64_t count) const;

 private:
  MediaFile(int descriptor, std::uint64_t size) : descriptor_(descriptor), size_(size) {}

  int descriptor_;
  std::uint64_t size_;
};

}  // namespace metascan
