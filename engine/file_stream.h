// A file the pipeline reads and writes. FileStream writes straight to a file descriptor,
// so a failed write (a full disk, an I/O error) is known at the block that failed and is raised
// as an error that names the file and the system's reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/exception.h"

namespace engine {

// A failed file operation: the message names the file and the system's reason.
class FileError : public platform::Exception {
 public:
  FileError(const std::string& action, const std::string& fileName, int errnum);
  int ErrorNumber() const { return errnum_; }

 private:
  int errnum_;
};

class FileStream final {
 public:
  // CreateNew makes a new file and fails when the name exists in any form (a file, a folder, a
  // symbolic link, even a dangling one): nothing is ever written through a link.
  enum class Mode { CreateNew, OpenReadWrite };
  // Opens `fileName`; raises FileError when that fails. Errors name `shownName` when it is
  // given (the final name of a file written under a temporary one), else `fileName`.
  FileStream(const std::string& fileName, Mode mode, const std::string& shownName = {});
  ~FileStream();  // closes quietly; call Close() to learn about a failed close
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  // Writes all `count` bytes or raises.
  void Write(const void* data, std::size_t count);
  // Writes all `count` bytes at `offset`, leaving the position where it was, or raises.
  void WriteAt(std::uint64_t offset, const void* data, std::size_t count);
  // Reads up to `count` bytes at the current position; returns the number read.
  std::size_t Read(void* data, std::size_t count);
  void Seek(long long offset);
  // Flushes what was written to the disk; raises FileError when the system cannot.
  void Sync();
  // Closes the file; raises FileError when the system reports that the close failed.
  void Close();
  const std::string& FileName() const { return fileName_; }
  // The open descriptor (for locks and modes); -1 once closed.
  int Descriptor() const { return fd_; }

 private:
  std::string fileName_;
  std::string shownName_;
  int fd_ = -1;
};

}  // namespace engine
