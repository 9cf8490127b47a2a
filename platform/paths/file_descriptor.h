// An open file descriptor that is closed when it goes out of scope.
#pragma once

#include <unistd.h>

#include <utility>

namespace platform {

class FileDescriptor {
 public:
  // Takes `fd` (negative: none, as a failed open returns).
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int Get() const { return fd_; }
  // Closes now, reporting a failed close (the last chance to learn of a failed write).
  int Close() { return ::close(std::exchange(fd_, -1)); }

 private:
  int fd_;
};

}  // namespace platform
