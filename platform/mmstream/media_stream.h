// The multimedia-stream layer: one opened media file with its primary audio and video streams,
// decoded through FFmpeg. Calls that can fail return a Result (status.h): a Status and, for a
// failure, the reason in FFmpeg's or the layer's words.
//
// A MediaStream is used by one thread at a time. It owns everything it opened and releases it
// when destroyed. Reads stream: memory does not grow with the length of the file.
//
// Delivered audio is interleaved PCM; one channel for a mono source, two for every other (more
// channels are downmixed). By default it is at the source's own sample rate, 8-bit unsigned when
// the source is 8-bit PCM and otherwise signed 16-bit little-endian. An open may ask for another
// delivery (audio_delivery.h): float where the decoder is float, and another rate.
// AudioFormat() always describes what is delivered. Video is decoded only when asked for, and a
// cover picture in an audio file is not video.
#pragma once

#include "platform/mmstream/audio_delivery.h"
#include "platform/mmstream/formats.h"
#include "platform/mmstream/status.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::mmstream {

class AudioDecoder;
class Demuxer;
class VideoDecoder;

// Which primary streams an open sets up.
constexpr unsigned kAudioStream = 1;
constexpr unsigned kVideoStream = 2;

class MediaStream {
 public:
  static constexpr std::chrono::milliseconds kNoTimeLimit = std::chrono::milliseconds::max();

  // Opens the file at the UTF-8 `path` with the streams `streams` asks for. On failure `out` is
  // empty and the status is NoStream (none of the asked-for streams is there), NotMedia (not a
  // media file, or its audio yields nothing), Error (cannot be read, no decoder, or
  // DRM-protected, then with kProtectedFileText) or OutOfMemory, with the reason. A stream asked
  // for along with another that turns out unusable is left out (HasAudio/HasVideo say so). The
  // stream opens stopped: reads need SetRunning(true).
  static Result Open(const std::string& path, unsigned streams, std::unique_ptr<MediaStream>& out);
  // The same, with the audio delivered as `audio` asks: its sample format chosen by what the
  // source decodes to, at `audio.rate` (0: the source's own). InvalidArgument (nothing opened)
  // for a rate below 0 or above 1 MHz.
  static Result Open(const std::string& path, unsigned streams, const AudioDelivery& audio,
                     std::unique_ptr<MediaStream>& out);
  ~MediaStream();
  MediaStream(const MediaStream&) = delete;
  MediaStream& operator=(const MediaStream&) = delete;

  bool HasAudio() const { return audio_ != nullptr; }
  bool HasVideo() const { return video_ != nullptr; }
  // Playing time: the container's, else the streams', else 0 (unknown).
  Time Duration() const { return duration_; }
  // The playing time the file says it has, which can exceed Duration() for a file cut short
  // (see asf_header.h); decoding less than this means the file is damaged or incomplete.
  Time DeclaredDuration() const;

  // The PCM that ReadAudio delivers (all zero without audio).
  const PcmFormat& AudioFormat() const;
  // The channel count of the source's audio (1 for mono, 6 for 5.1), which AudioFormat() does
  // not tell for sources it downmixes; 0 without audio.
  int AudioSourceChannels() const;
  // Blocking: fills `buffer` with up to `size` bytes (whole sample frames) of the next PCM.
  // Ok with the byte count and the block's start and end times (after the stream's first
  // sample, counted in delivered frames at the delivered rate; consecutive blocks join
  // exactly); EndOfStream at the end (after the last samples a rate conversion holds);
  // InvalidArgument for no buffer or one that holds no whole sample frame; NoStream without
  // audio; NotRunning when stopped; Error (with FFmpeg's reason) when the stream cannot be
  // decoded any further. Damaged packets in the middle are skipped.
  Result ReadAudio(void* buffer, uint32_t size, uint32_t& bytes, Time& start, Time& end);

  // Moves every stream to `position` (clamped to 0 … Duration when that is known); the next
  // reads start there. NoSeeking when the file cannot be repositioned (the position is then
  // unchanged).
  Result Seek(Time position);

  // Run (reads allowed) or stop.
  void SetRunning(bool run) { running_ = run; }
  bool Running() const { return running_; }

  // The frames ReadVideoFrame renders (all zero without video; 0 × 0 without a usable size).
  const FrameFormat& VideoFormat() const;
  // Pixel depth frames are rendered at: 32 (default), 24 or 16. InvalidArgument for others,
  // NoStream without video.
  Status SetVideoBitsPerPixel(int bits);
  // Renders the next frame into `buffer`: Ok with the frame's times; EndOfStream at the end;
  // Pending when no frame was complete within `wait` (the next call goes on from there);
  // InvalidArgument for a buffer shorter than VideoFormat().FrameBytes(); NoStream without
  // video; NotRunning when stopped; Error or NotMedia (with the reason) when decoding fails.
  Result ReadVideoFrame(void* buffer, uint32_t size, Time& start, Time& end,
                        std::chrono::milliseconds wait = kNoTimeLimit);

 private:
  MediaStream();

  std::unique_ptr<Demuxer> demuxer_;
  std::unique_ptr<AudioDecoder> audio_;
  std::unique_ptr<VideoDecoder> video_;
  Time duration_ = 0;
  bool running_ = false;
};

// Asks every blocking step of every media file the process has open, or opens from now on, to
// give up at its next check: reads and opens then fail ("Immediate exit requested"). For a
// program that was told to stop; safe to call from a signal handler.
void RequestInterrupt();
// Withdraws the request (tests that interrupt and go on).
void ClearInterruptRequest();
bool InterruptRequested();

// The reason an open gives for a Windows Media file whose content is encrypted (DRM).
inline constexpr char kProtectedFileText[] = "The file is protected by DRM and cannot be converted.";

// Whether the file at `path` is a Windows Media file whose header carries DRM content
// encryption, which no decoder here can undo (asf_header.h). False for every other file and for
// anything that does not open as a regular file.
bool IsProtected(const std::string& path);

// The extensions (lower case, without the dot, sorted) of the files this layer can open as audio
// or video: those FFmpeg's demuxers declare, and those of the common containers whose demuxers
// recognise a file by its content and declare none (WMA, WAV, MPEG, Ogg Opus ...), where that
// demuxer is present. Subtitles, images, text and raw video are left out.
std::vector<std::string> MediaFileExtensions();

// Whether Windows Media Audio can be decoded (FFmpeg has its wmav2 decoder): the start-up check.
bool CanDecodeWindowsMedia();

}  // namespace platform::mmstream
