// The container side of one opened media file: probing, choosing the primary audio and video
// streams, and handing out their packets.
//
// Owned by one MediaStream and used by its thread only. Packets of the two chosen streams
// arrive interleaved; a packet of the stream not being read waits in that stream's queue, and
// each queue is capped so that a caller reading only one stream never buffers the whole file
// (beyond the cap the oldest waiting packets are dropped). Packets of every other stream are
// discarded by the demuxer itself.
#pragma once

#include "platform/mmstream/asf_header.h"
#include "platform/mmstream/ffmpeg_ptr.h"
#include "platform/mmstream/status.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <string>

namespace platform::mmstream {

class FileSource;

enum StreamKind : unsigned { kAudio = 1, kVideo = 2 };

class Demuxer {
 public:
  enum class Fetched { kPacket, kEnd, kError };

  // Opens `path` (always a local, regular file) and picks the streams `streams` asks for. Fails
  // with Status::Error (the system's reason) when the file cannot be reached, NotMedia when its
  // bytes are not a container FFmpeg reads, NoStream (NoStreamFailure) when none of the
  // asked-for streams exists, Error with "Decoder not found" when the only asked-for stream
  // cannot be decoded, and Error with kProtectedFileText for an encrypted Windows Media file.
  static Result Open(const std::string& path, unsigned streams, std::unique_ptr<Demuxer>& out);
  ~Demuxer();

  // The chosen streams and their decoders, or null.
  AVStream* Stream(StreamKind kind) const;
  const AVCodec* Decoder(StreamKind kind) const;
  // Stops handing out and queueing packets of `kind` (a stream found unusable after opening).
  void Drop(StreamKind kind);

  // Playing time in 100-ns units: the container's, else the chosen streams', else 0.
  Time Duration() const;
  // The playing time the file states in its header when FFmpeg set it aside (an ASF file
  // shorter than its header says), else Duration().
  Time DeclaredDuration() const;
  // Facts of an ASF header (all false and zero for other files).
  const AsfHeaderFacts& Asf() const { return asf_; }

  // The next packet of `kind` into `packet`. kEnd at the end of the data; kError with
  // `averror` set when reading fails for good.
  Fetched Next(StreamKind kind, AVPacket* packet, int& averror);

  // Repositions near `timestamp` (in the time base of `kind`'s stream, at or before it when the
  // container allows) and empties the queues. Returns an AVERROR on failure, leaving the
  // position where it was.
  int Seek(StreamKind kind, int64_t timestamp);

 private:
  struct Queue {
    std::deque<PacketPtr> packets;
    std::size_t bytes = 0;
  };

  Demuxer() = default;
  int Index(StreamKind kind) const { return kind == kAudio ? audio_index_ : video_index_; }
  Queue& QueueOf(StreamKind kind) { return kind == kAudio ? audio_queue_ : video_queue_; }
  void Enqueue(Queue& queue, AVPacket* packet);
  void ClearQueues();

  // Declared before the format context, so the context is closed before its I/O goes.
  std::unique_ptr<FileSource> source_;
  AsfHeaderFacts asf_;
  FormatPtr format_;
  int audio_index_ = -1;
  int video_index_ = -1;
  const AVCodec* audio_decoder_ = nullptr;
  const AVCodec* video_decoder_ = nullptr;
  Queue audio_queue_;
  Queue video_queue_;
  PacketPtr scratch_;
  bool at_end_ = false;
};

// The NoStream result for an open that asked for `streams` (kAudio, kVideo or both), naming
// what is missing.
Result NoStreamFailure(unsigned streams);

}  // namespace platform::mmstream
