// The bytes of one media file as FFmpeg reads them, from a descriptor this layer opened itself.
//
// FFmpeg's own file protocol opens whatever a name points to and blocks as long as the kernel
// does: a FIFO without a writer stops it in open() for good, a terminal or a device may never
// end. The layer therefore opens the file itself, without blocking, refuses everything that is
// not a regular file, and hands FFmpeg an I/O context over that descriptor. Every read checks the
// process-wide interrupt request (interrupt.h), so a program that is told to stop is never held
// up by a read.
//
// Owned by the demuxer, used by its thread only.
#pragma once

#include "platform/mmstream/ffmpeg_ptr.h"
#include "platform/mmstream/status.h"

#include <memory>
#include <string>

namespace platform::mmstream {

class FileSource {
 public:
  // Opens `path` for reading. Fails with Status::Error and the system's reason when the file
  // cannot be opened or is not a regular file (links to one are followed).
  static Result Open(const std::string& path, std::unique_ptr<FileSource>& out);
  ~FileSource();
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  // The I/O context for AVFormatContext::pb (with AVFMT_FLAG_CUSTOM_IO); owned by this object,
  // so the format context must be closed first.
  AVIOContext* Io() const { return io_; }
  // The open descriptor, for reads with pread that leave FFmpeg's position alone.
  int Descriptor() const { return fd_; }

 private:
  FileSource() = default;
  static int Read(void* opaque, uint8_t* buffer, int size);
  static int64_t Seek(void* opaque, int64_t offset, int whence);

  int fd_ = -1;
  AVIOContext* io_ = nullptr;
};

// The interrupt check FFmpeg calls during blocking operations (AVIOInterruptCB).
int InterruptCheck(void* unused);

}  // namespace platform::mmstream
