#include "platform/mmstream/demuxer.h"

#include "platform/mmstream/file_source.h"
#include "platform/mmstream/media_stream.h"

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <vector>

namespace platform::mmstream {

namespace {

// A caller that reads one stream of a two-stream file leaves the other's packets waiting; past
// these limits the oldest are dropped, so memory stays flat however long the file is.
constexpr std::size_t kQueueByteLimit = 16u << 20;
constexpr std::size_t kQueuePacketLimit = 4096;

// Consecutive failed packet reads after which the container is taken as unreadable from there
// on. Damaged stretches usually cost one or two failures before the demuxer resynchronises.
constexpr int kMaxConsecutiveReadFailures = 32;

constexpr AVRational kHundredNanoseconds = {1, 10'000'000};

// A failure to reach the file keeps the system's reason ("No such file or directory"). Any
// other failure while the container is read means its bytes are not what they should be;
// demuxers then return whatever code they happen to use (a truncated ASF header gives EPERM),
// which would only puzzle the user.
Result OpenFailure(int averror) {
  switch (averror) {
    case AVERROR(ENOENT):
    case AVERROR(EACCES):
    case AVERROR(EISDIR):
    case AVERROR(ENOTDIR):
    case AVERROR(ELOOP):
    case AVERROR(ENAMETOOLONG):
    case AVERROR(EIO):
    case AVERROR(ENOMEM):
    case AVERROR_EXIT:
    case AVERROR_PROTOCOL_NOT_FOUND:
      return AverrorFailure(Status::Error, averror);
    default:
      return AverrorFailure(Status::NotMedia, AVERROR_INVALIDDATA);
  }
}

// The largest single allocation FFmpeg may make for the program. A hostile header can ask for
// gigabytes (a 2 GB block was seen from a few kilobytes of fuzzed input); no audio decoder, and
// no video frame up to 8K, needs a tenth of this.
constexpr std::size_t kMaxAllocation = 256u << 20;

// Once per process: failures reach callers as results with their texts (FFmpeg's own log would
// only print to a terminal that a desktop program does not have), and allocations are bounded.
void ConfigureLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    av_log_set_level(AV_LOG_QUIET);
    av_max_alloc(kMaxAllocation);
  });
}

bool IsCoverPicture(const AVStream* stream) {
  return (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

bool IsWanted(const AVStream* stream, unsigned streams) {
  switch (stream->codecpar->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
      return (streams & kAudio) != 0;
    case AVMEDIA_TYPE_VIDEO:
      return (streams & kVideo) != 0 && !IsCoverPicture(stream);
    default:
      return false;
  }
}

// The primary video stream: a real picture sequence (cover art is not video) that can be
// decoded, the one marked as default when there are several.
int FindVideoStream(const AVFormatContext* format, const AVCodec** decoder) {
  int chosen = -1;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVStream* stream = format->streams[i];
    if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || IsCoverPicture(stream)) continue;
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (codec == nullptr) continue;
    if (chosen < 0 || (stream->disposition & AV_DISPOSITION_DEFAULT) != 0) {
      chosen = static_cast<int>(i);
      *decoder = codec;
      if ((stream->disposition & AV_DISPOSITION_DEFAULT) != 0) break;
    }
  }
  return chosen;
}

}  // namespace

Result Demuxer::Open(const std::string& path, unsigned streams, std::unique_ptr<Demuxer>& out) {
  out.reset();
  ConfigureLibrary();
  std::unique_ptr<Demuxer> demuxer(new Demuxer);
  demuxer->scratch_.reset(av_packet_alloc());
  if (!demuxer->scratch_) return AverrorFailure(Status::OutOfMemory, AVERROR(ENOMEM));

  // The file is opened by the layer itself (file_source.h): only a regular file is read, and a
  // name like "concat:a|b" is a file of that name, never a protocol.
  Result opened = FileSource::Open(path, demuxer->source_);
  if (!opened.Ok()) return opened;
  demuxer->asf_ = ReadAsfHeaderFacts(demuxer->source_->Descriptor());
  // FFmpeg would read an encrypted file's packets and decode noise or nothing from them.
  if (demuxer->asf_.encrypted) return Failure(Status::Error, kProtectedFileText);
  AVFormatContext* raw = avformat_alloc_context();
  if (raw == nullptr) return AverrorFailure(Status::OutOfMemory, AVERROR(ENOMEM));
  raw->pb = demuxer->source_->Io();
  raw->flags |= AVFMT_FLAG_CUSTOM_IO;
  raw->interrupt_callback.callback = &InterruptCheck;
  // A playlist or reference inside a file must not reach out to other places.
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  // The name is only a hint here (the extension helps to tell raw formats apart).
  int err = avformat_open_input(&raw, path.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (err < 0) return OpenFailure(err);
  demuxer->format_.reset(raw);
  AVFormatContext* format = raw;

  // Probing decodes a few frames of each stream to complete its parameters. A decoder list that
  // names no decoder keeps it from decoding the streams this open will never use (video for an
  // audio-only open, cover pictures always).
  std::vector<AVDictionary*> probe_options(format->nb_streams, nullptr);
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    if (!IsWanted(format->streams[i], streams)) {
      av_dict_set(&probe_options[i], "codec_whitelist", "none", 0);
    }
  }
  err = avformat_find_stream_info(format, probe_options.empty() ? nullptr : probe_options.data());
  for (AVDictionary*& d : probe_options) av_dict_free(&d);
  if (err < 0) return OpenFailure(err);

  int audio_error = AVERROR_STREAM_NOT_FOUND;
  if ((streams & kAudio) != 0) {
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (index >= 0) {
      demuxer->audio_index_ = index;
      demuxer->audio_decoder_ = codec;
    } else {
      audio_error = index;
    }
  }
  if ((streams & kVideo) != 0) {
    demuxer->video_index_ = FindVideoStream(format, &demuxer->video_decoder_);
  }
  if (demuxer->audio_index_ < 0 && demuxer->video_index_ < 0) {
    if (audio_error == AVERROR_DECODER_NOT_FOUND) return AverrorFailure(Status::Error, audio_error);
    return NoStreamFailure(streams);
  }

  // The tags are read by the tag readers, not from here: a cover picture or a long text would
  // only be held for as long as the file is decoded.
  av_dict_free(&format->metadata);
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const int index = static_cast<int>(i);
    av_dict_free(&format->streams[i]->metadata);
    if (index != demuxer->audio_index_ && index != demuxer->video_index_) {
      format->streams[i]->discard = AVDISCARD_ALL;
      av_packet_unref(&format->streams[i]->attached_pic);
    }
  }
  out = std::move(demuxer);
  return {};
}

Result NoStreamFailure(unsigned streams) {
  switch (streams & (kAudio | kVideo)) {
    case kAudio:
      return Failure(Status::NoStream, "The file has no audio stream.");
    case kVideo:
      return Failure(Status::NoStream, "The file has no video stream.");
    default:
      return Failure(Status::NoStream, "The file has neither audio nor video.");
  }
}

Demuxer::~Demuxer() = default;

AVStream* Demuxer::Stream(StreamKind kind) const {
  const int index = Index(kind);
  return index >= 0 ? format_->streams[index] : nullptr;
}

const AVCodec* Demuxer::Decoder(StreamKind kind) const {
  return kind == kAudio ? audio_decoder_ : video_decoder_;
}

void Demuxer::Drop(StreamKind kind) {
  AVStream* stream = Stream(kind);
  if (stream == nullptr) return;
  stream->discard = AVDISCARD_ALL;
  Queue& queue = QueueOf(kind);
  queue.packets.clear();
  queue.bytes = 0;
  (kind == kAudio ? audio_index_ : video_index_) = -1;
}

Time Demuxer::Duration() const {
  if (format_->duration > 0) return av_rescale(format_->duration, 10'000'000, AV_TIME_BASE);
  for (StreamKind kind : {kAudio, kVideo}) {
    const AVStream* stream = Stream(kind);
    if (stream != nullptr && stream->duration > 0) {
      return av_rescale_q(stream->duration, stream->time_base, kHundredNanoseconds);
    }
  }
  return 0;
}

Time Demuxer::DeclaredDuration() const { return std::max(Duration(), asf_.playDuration); }

Demuxer::Fetched Demuxer::Next(StreamKind kind, AVPacket* packet, int& averror) {
  const int index = Index(kind);
  if (index < 0) return Fetched::kEnd;
  Queue& waiting = QueueOf(kind);
  if (!waiting.packets.empty()) {
    waiting.bytes -= static_cast<std::size_t>(waiting.packets.front()->size);
    av_packet_move_ref(packet, waiting.packets.front().get());
    waiting.packets.pop_front();
    return Fetched::kPacket;
  }

  const StreamKind other = kind == kAudio ? kVideo : kAudio;
  int failures = 0;
  // Each pass consumes one packet of a finite file or counts a failure, so the loop ends.
  while (!at_end_) {
    const int err = av_read_frame(format_.get(), scratch_.get());
    // An interrupted read is not the end of the data: what was read so far is not the file.
    if (err == AVERROR_EXIT || InterruptRequested()) {
      av_packet_unref(scratch_.get());
      averror = AVERROR_EXIT;
      return Fetched::kError;
    }
    // The I/O context flags the end of the file, and also a read that failed for good (an I/O
    // error), which must not pass for the end.
    const AVIOContext* io = format_->pb;
    if (io != nullptr && io->error < 0 && io->error != AVERROR_EOF) {
      averror = io->error;
      return Fetched::kError;
    }
    if (err == AVERROR_EOF || (err < 0 && io != nullptr && avio_feof(format_->pb))) {
      at_end_ = true;
      break;
    }
    if (err < 0) {
      if (++failures >= kMaxConsecutiveReadFailures) {
        averror = err;
        return Fetched::kError;
      }
      continue;
    }
    failures = 0;
    if (scratch_->stream_index == index) {
      av_packet_move_ref(packet, scratch_.get());
      return Fetched::kPacket;
    }
    if (scratch_->stream_index == Index(other)) Enqueue(QueueOf(other), scratch_.get());
    av_packet_unref(scratch_.get());
  }
  return Fetched::kEnd;
}

void Demuxer::Enqueue(Queue& queue, AVPacket* packet) {
  PacketPtr waiting(av_packet_alloc());
  if (!waiting) return;
  av_packet_move_ref(waiting.get(), packet);
  queue.bytes += static_cast<std::size_t>(waiting->size);
  queue.packets.push_back(std::move(waiting));
  while (queue.packets.size() > kQueuePacketLimit || queue.bytes > kQueueByteLimit) {
    queue.bytes -= static_cast<std::size_t>(queue.packets.front()->size);
    queue.packets.pop_front();
  }
}

void Demuxer::ClearQueues() {
  for (Queue* queue : {&audio_queue_, &video_queue_}) {
    queue->packets.clear();
    queue->bytes = 0;
  }
}

int Demuxer::Seek(StreamKind kind, int64_t timestamp) {
  const int index = Index(kind);
  if (index < 0) return AVERROR(EINVAL);
  // Backwards first so that decoding can run up to the exact target; some containers can only
  // place the read at or after a time.
  int err = av_seek_frame(format_.get(), index, timestamp, AVSEEK_FLAG_BACKWARD);
  if (err < 0) err = av_seek_frame(format_.get(), index, timestamp, 0);
  if (err < 0) return err;
  ClearQueues();
  at_end_ = false;
  return 0;
}

}  // namespace platform::mmstream
