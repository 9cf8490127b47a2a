// Fuzz target for the FFmpeg-facing reader: any bytes go through avpull's file_init (and so the
// multimedia-stream layer, FFmpeg's demuxers and decoders), then every audio block and a few
// video frames are read, and the file is closed. A crash, an out-of-bounds access, a leak, a
// hang or a block that breaks the interface's promises stops the fuzzer.
#include "avpull/avpull.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The input lives in memory (a memfd) and is opened by name through /proc, as a regular file.
class MemoryFile {
 public:
  MemoryFile() : fd_(::memfd_create("avpull-fuzz", MFD_CLOEXEC)) {
    if (fd_ < 0) std::abort();
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  const char* Write(const std::uint8_t* data, std::size_t size) {
    if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
    return path_.c_str();
  }

 private:
  int fd_;
  std::string path_;
};

// Far more blocks than a fuzz input of a few kilobytes can decode to; a reader that never ends
// is a fault.
constexpr int kMaxBlocks = 200000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MemoryFile file;
  AVPULL_STREAM_TIME duration = 0;
  std::int32_t videoStatus = 0, audioStatus = 0;
  AVPULL_VIDEOINFOHEADER video{};
  AVPULL_WAVEFORMATEX audio{};
  const std::int32_t opened = file_init(file.Write(data, size), &duration, &videoStatus, &audioStatus, &video, &audio);
  if (opened == 0 && audioStatus == AVPULL_AUDIO_READY) {
    AVPULL_STREAM_TIME lastEnd = -1;
    int blocks = 0;
    for (;; ++blocks) {
      if (blocks == kMaxBlocks) std::abort();
      std::uint8_t* block = nullptr;
      std::int32_t length = 0;
      AVPULL_STREAM_TIME start = 0, end = 0;
      if (file_get_audio_sample(&block, &length, &start, &end) != 0) break;
      // Whole sample frames of the announced format, joining the previous block.
      if (block == nullptr || length <= 0 || audio.nBlockAlign == 0 || length % audio.nBlockAlign != 0) std::abort();
      if (lastEnd >= 0 && start != lastEnd) std::abort();
      lastEnd = end;
      volatile std::uint8_t touch = block[length - 1];  // the whole block must be readable
      (void)touch;
    }
  }
  if (opened == 0 && videoStatus == AVPULL_VIDEO_READY) {
    for (int frame = 0; frame < 2; ++frame) {
      std::uint8_t* pixels = nullptr;
      std::int32_t bytes = 0;
      AVPULL_STREAM_TIME start = 0, end = 0;
      if (file_get_video_frame(&pixels, &bytes, &start, &end) != 0) break;
      if (pixels == nullptr || bytes <= 0) std::abort();
      volatile std::uint8_t touch = pixels[bytes - 1];
      (void)touch;
    }
  }
  file_exit();
  return 0;
}
