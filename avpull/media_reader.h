// The state and operations behind avpull's functions: one opened media file, its audio
// buffer, its frame surface and picture buffer.
//
// The exported functions share one instance (the library-wide state); tests make their own.
// Used by one thread at a time. It owns the opened stream and both buffers; file_exit (Exit)
// releases them all and keeps only the audio buffer size.
#pragma once

#include "avpull/avpull.h"
#include "platform/mmstream/media_stream.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace avpull {

// avpull's result code (avpull.h) for a status of the stream layer: 0, AVPULL_END_OF_STREAM,
// AVPULL_FRAME_NOT_READY (a frame still pending) or the failure's code.
int32_t ResultCode(platform::mmstream::Status status);

class MediaReader {
 public:
  struct Options {
    // The depth video frames are rendered at before they become 32-bit pixels: 32 (the surface
    // is handed out as it is), 24 or 16 (converted into the picture buffer).
    int surface_bits = 32;
    // How long a frame request waits for its frame, in rounds of frame_wait.
    std::chrono::milliseconds frame_wait{1000};
    int frame_waits = 6;
  };

  MediaReader() : MediaReader(Options{}) {}
  explicit MediaReader(const Options& options) : options_(options) {}
  ~MediaReader();
  MediaReader(const MediaReader&) = delete;
  MediaReader& operator=(const MediaReader&) = delete;

  // The operations, with the contracts in avpull.h.
  int32_t Init(const char* file_name, AVPULL_STREAM_TIME* duration, int32_t* video_status,
               int32_t* audio_status, AVPULL_VIDEOINFOHEADER* video_info, AVPULL_WAVEFORMATEX* audio_format);
  int32_t SetAudioBufferSize(int32_t size);
  int32_t GetAudioSample(uint8_t** data, int32_t* length, AVPULL_STREAM_TIME* start, AVPULL_STREAM_TIME* end);
  int32_t GetVideoFrame(uint8_t** pixels, int32_t* size, AVPULL_STREAM_TIME* start, AVPULL_STREAM_TIME* end);
  int32_t Exit();
  int32_t SourceChannels() const;

  int32_t AudioBufferSize() const { return buffer_size_; }
  // Whether anything of an opened file is still held.
  bool HoldsAnything() const;

 private:
  int32_t SetUpVideo(AVPULL_VIDEOINFOHEADER& info, int32_t& result);
  int32_t SetUpAudio(AVPULL_WAVEFORMATEX& format, int32_t& result);
  // Bytes decoded per block so that the widened block fits `size`.
  uint32_t RequestFor(int32_t size) const;
  void Release();

  Options options_;
  std::unique_ptr<platform::mmstream::MediaStream> stream_;
  bool video_ready_ = false;
  bool audio_ready_ = false;
  std::vector<uint8_t> audio_buffer_;
  uint32_t request_ = 0;
  std::vector<uint8_t> surface_;
  std::vector<uint8_t> picture_;  // made on the first 16- or 24-bit frame
  int32_t buffer_size_ = 4096;    // kept from one file to the next
  int source_channels_ = 2;
  int source_bits_ = 16;
};

}  // namespace avpull
