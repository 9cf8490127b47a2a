#include "platform/mmstream/file_source.h"

#include "platform/mmstream/media_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace platform::mmstream {

namespace {

// The size FFmpeg's own file protocol reads with.
constexpr int kBufferSize = 32768;

// Set from a signal handler: it must be a lock-free atomic to be safe there.
std::atomic<bool> interrupt_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

void RequestInterrupt() { interrupt_requested.store(true, std::memory_order_relaxed); }
void ClearInterruptRequest() { interrupt_requested.store(false, std::memory_order_relaxed); }
bool InterruptRequested() { return interrupt_requested.load(std::memory_order_relaxed); }

int InterruptCheck(void*) { return InterruptRequested() ? 1 : 0; }

Result FileSource::Open(const std::string& path, std::unique_ptr<FileSource>& out) {
  out.reset();
  // Without O_NONBLOCK, opening a FIFO waits for a writer; nothing here ever waits for one.
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR && !InterruptRequested());
  if (fd < 0) return AverrorFailure(Status::Error, AVERROR(errno));
  std::unique_ptr<FileSource> source(new FileSource);
  source->fd_ = fd;

  struct stat info {};
  if (::fstat(fd, &info) != 0) return AverrorFailure(Status::Error, AVERROR(errno));
  if (S_ISDIR(info.st_mode)) return AverrorFailure(Status::Error, AVERROR(EISDIR));
  if (!S_ISREG(info.st_mode)) return Failure(Status::Error, "Not a regular file (a pipe, device or socket)");
  // Reads of a regular file do not wait anyway; blocking mode keeps them plain.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

  auto* buffer = static_cast<uint8_t*>(av_malloc(kBufferSize));
  if (buffer == nullptr) return AverrorFailure(Status::OutOfMemory, AVERROR(ENOMEM));
  source->io_ = avio_alloc_context(buffer, kBufferSize, 0, source.get(), &FileSource::Read, nullptr,
                                   &FileSource::Seek);
  if (source->io_ == nullptr) {
    av_free(buffer);
    return AverrorFailure(Status::OutOfMemory, AVERROR(ENOMEM));
  }
  out = std::move(source);
  return {};
}

FileSource::~FileSource() {
  if (io_ != nullptr) {
    // The context may have replaced its buffer; free the one it holds now.
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
  if (fd_ >= 0) ::close(fd_);
}

int FileSource::Read(void* opaque, uint8_t* buffer, int size) {
  const int fd = static_cast<FileSource*>(opaque)->fd_;
  for (;;) {
    if (InterruptRequested()) return AVERROR_EXIT;
    const ssize_t n = ::read(fd, buffer, static_cast<std::size_t>(size));
    if (n > 0) return static_cast<int>(n);
    if (n == 0) return AVERROR_EOF;
    if (errno != EINTR) return AVERROR(errno);
  }
}

int64_t FileSource::Seek(void* opaque, int64_t offset, int whence) {
  const int fd = static_cast<FileSource*>(opaque)->fd_;
  if ((whence & AVSEEK_SIZE) != 0) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? static_cast<int64_t>(info.st_size) : AVERROR(errno);
  }
  const off_t at = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
}

}  // namespace platform::mmstream
