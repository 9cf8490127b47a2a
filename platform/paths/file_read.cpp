#include "platform/paths/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/paths/file_descriptor.h"

namespace platform {
namespace {

FileReadResult Failure(FileReadStatus status, int error) {
  FileReadResult result;
  result.status = status;
  result.error = error;
  return result;
}

FileReadStatus StatusOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return FileReadStatus::Missing;
    case EACCES:
    case EPERM:
      return FileReadStatus::NotPermitted;
    default:
      return FileReadStatus::Failed;
  }
}

}  // namespace

FileReadResult ReadRegularFile(const std::string& path, std::size_t maxBytes) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer forever.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.Get() < 0) {
    const int error = errno;
    return Failure(StatusOfErrno(error), error);
  }
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0) return Failure(FileReadStatus::Failed, errno);
  if (!S_ISREG(info.st_mode)) return Failure(FileReadStatus::NotRegular, 0);
  if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
    return Failure(FileReadStatus::TooLarge, EFBIG);
  }

  // The file may grow while it is read: read one byte past the limit to notice.
  FileReadResult result;
  result.bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
  std::size_t filled = 0;
  for (;;) {
    if (filled == result.bytes.size()) {
      if (filled > maxBytes) return Failure(FileReadStatus::TooLarge, EFBIG);
      result.bytes.resize(std::min(result.bytes.size() * 2, maxBytes + 1));
    }
    const ssize_t got = ::read(fd.Get(), result.bytes.data() + filled, result.bytes.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      return Failure(FileReadStatus::Failed, errno);
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  if (filled > maxBytes) return Failure(FileReadStatus::TooLarge, EFBIG);
  result.bytes.resize(filled);
  result.status = FileReadStatus::Ok;
  return result;
}

}  // namespace platform
