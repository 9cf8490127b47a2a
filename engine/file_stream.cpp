#include "engine/file_stream.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "platform/errtext.h"

namespace engine {

FileError::FileError(const std::string& action, const std::string& fileName, int errnum)
    : platform::Exception(action + " \"" + fileName + "\": " + platform::ErrnoText(errnum)),
      errnum_(errnum) {}

FileStream::FileStream(const std::string& fileName, Mode mode, const std::string& shownName)
    : fileName_(fileName), shownName_(shownName.empty() ? fileName : shownName) {
  const int flags = mode == Mode::CreateNew ? O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC
                                            : O_RDWR | O_CLOEXEC;
  do {
    fd_ = ::open(fileName.c_str(), flags, 0666);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) {
    throw FileError(mode == Mode::CreateNew ? "Cannot create file" : "Cannot open file", shownName_, errno);
  }
}

FileStream::~FileStream() {
  if (fd_ >= 0) ::close(fd_);
}

void FileStream::Write(const void* data, std::size_t count) {
  const char* p = static_cast<const char*>(data);
  while (count > 0) {
    const ssize_t n = ::write(fd_, p, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError("Cannot write to file", shownName_, errno);
    }
    if (n == 0) throw FileError("Cannot write to file", shownName_, ENOSPC);
    p += n;
    count -= static_cast<std::size_t>(n);
  }
}

void FileStream::WriteAt(std::uint64_t offset, const void* data, std::size_t count) {
  const char* p = static_cast<const char*>(data);
  while (count > 0) {
    const ssize_t n = ::pwrite(fd_, p, count, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError("Cannot write to file", shownName_, errno);
    }
    if (n == 0) throw FileError("Cannot write to file", shownName_, ENOSPC);
    p += n;
    offset += static_cast<std::uint64_t>(n);
    count -= static_cast<std::size_t>(n);
  }
}

std::size_t FileStream::Read(void* data, std::size_t count) {
  std::size_t total = 0;
  char* p = static_cast<char*>(data);
  while (total < count) {
    const ssize_t n = ::read(fd_, p + total, count - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError("Cannot read file", shownName_, errno);
    }
    if (n == 0) break;
    total += static_cast<std::size_t>(n);
  }
  return total;
}

void FileStream::Seek(long long offset) {
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) throw FileError("Cannot seek in file", shownName_, errno);
}

void FileStream::Sync() {
  if (::fsync(fd_) != 0) throw FileError("Cannot write to file", shownName_, errno);
}

void FileStream::Close() {
  const int fd = fd_;
  fd_ = -1;
  // A close that reports an error (EIO on a network file system) means data may be lost.
  if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) throw FileError("Cannot write to file", shownName_, errno);
}

}  // namespace engine
