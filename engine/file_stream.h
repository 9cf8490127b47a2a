// Byte streams the pipeline reads and writes. TFileStream writes straight to a file descriptor,
// so a failed write (a full disk, an I/O error) is known at the block that failed and is raised
// as an error that names the file and the system's reason.
#pragma once

#include <cstddef>
#include <string>

#include "platform/exception.h"

namespace engine {

// A failed file operation: the message names the file and the system's reason.
class EFileError : public platform::Exception {
 public:
  EFileError(const std::string& action, const std::string& fileName, int errnum);
  int ErrorNumber() const { return errnum_; }

 private:
  int errnum_;
};

class TStream {
 public:
  virtual ~TStream() = default;
  // Writes all `count` bytes or raises.
  virtual void Write(const void* data, std::size_t count) = 0;
};

class TFileStream final : public TStream {
 public:
  enum class Mode { CreateTruncate, OpenReadWrite };
  // Opens `fileName`; raises EFileError when that fails.
  TFileStream(const std::string& fileName, Mode mode);
  ~TFileStream() override;  // closes quietly; call Close() to learn about a failed close
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  void Write(const void* data, std::size_t count) override;
  // Reads up to `count` bytes at the current position; returns the number read.
  std::size_t Read(void* data, std::size_t count);
  void Seek(long long offset);
  // Closes the file; raises EFileError when the system reports that the close failed.
  void Close();
  const std::string& FileName() const { return fileName_; }

 private:
  std::string fileName_;
  int fd_ = -1;
};

}  // namespace engine
