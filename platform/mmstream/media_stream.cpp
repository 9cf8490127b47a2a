#include "platform/mmstream/media_stream.h"

#include "platform/mmstream/audio_decoder.h"
#include "platform/mmstream/demuxer.h"
#include "platform/mmstream/file_source.h"
#include "platform/mmstream/pcm_format.h"
#include "platform/mmstream/video_decoder.h"
#include "platform/utf8.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <utility>

namespace platform::mmstream {

namespace {

// A quarter of a second covers the few frames any audio decoder needs to settle.
constexpr Time kAudioSeekLeadIn = 2'500'000;

}  // namespace

MediaStream::MediaStream() = default;

// The decoders hold a reference to the demuxer, so they go first.
MediaStream::~MediaStream() {
  audio_.reset();
  video_.reset();
  demuxer_.reset();
}

Result MediaStream::Open(const std::string& path, unsigned streams, std::unique_ptr<MediaStream>& out) {
  return Open(path, streams, AudioDelivery{}, out);
}

Result MediaStream::Open(const std::string& path, unsigned streams, const AudioDelivery& audio,
                         std::unique_ptr<MediaStream>& out) {
  out.reset();
  if (audio.rate < 0 || audio.rate > kMaxSampleRate) {
    return Failure(Status::InvalidArgument, "The sample rate asked for is not a rate.");
  }
  std::unique_ptr<MediaStream> media(new MediaStream);
  Result result = Demuxer::Open(path, streams & (kAudio | kVideo), media->demuxer_);
  if (!result.Ok()) return result;
  Demuxer& demuxer = *media->demuxer_;

  Result video_failure;
  if (demuxer.Stream(kVideo) != nullptr) {
    video_failure = VideoDecoder::Open(demuxer, media->video_);
    if (!video_failure.Ok()) demuxer.Drop(kVideo);
  }
  if (demuxer.Stream(kAudio) != nullptr) {
    // Opening the audio decodes its first samples; a stream that yields none is unusable.
    result = AudioDecoder::Open(demuxer, audio, media->audio_);
    if (!result.Ok()) {
      if (!media->video_) return result;
      demuxer.Drop(kAudio);
    }
  }
  if (!media->audio_ && !media->video_) {
    return !video_failure.Ok() ? video_failure : NoStreamFailure(streams);
  }

  media->duration_ = demuxer.Duration();
  out = std::move(media);
  return {};
}

Time MediaStream::DeclaredDuration() const { return std::max(duration_, demuxer_->DeclaredDuration()); }

const PcmFormat& MediaStream::AudioFormat() const {
  static const PcmFormat kNone{};
  return audio_ ? audio_->Format() : kNone;
}

bool IsProtected(const std::string& path) {
  std::unique_ptr<FileSource> source;
  if (!FileSource::Open(path, source).Ok()) return false;
  return ReadAsfHeaderFacts(source->Descriptor()).encrypted;
}

int MediaStream::AudioSourceChannels() const { return audio_ ? audio_->SourceChannels() : 0; }

Result MediaStream::ReadAudio(void* buffer, uint32_t size, uint32_t& bytes, Time& start, Time& end) {
  bytes = 0;
  if (!audio_) return NoStreamFailure(kAudio);
  if (!running_) return Failure(Status::NotRunning);
  if (buffer == nullptr) return Failure(Status::InvalidArgument, "No buffer to read into.");
  return audio_->Read(static_cast<uint8_t*>(buffer), size, bytes, start, end);
}

Result MediaStream::Seek(Time position) {
  if (position < 0) position = 0;
  if (duration_ > 0 && position > duration_) position = duration_;
  // The audio's timeline leads when there is audio; video frames follow by their times. The
  // container is placed a little before the target: a decoder restarted cold gets its first
  // frames wrong (overlapping windows, MP3's bit reservoir), and those frames are then dropped
  // along with the rest of the lead-in.
  const StreamKind lead = audio_ ? kAudio : kVideo;
  const Time lead_in = audio_ ? std::max<Time>(0, position - kAudioSeekLeadIn) : position;
  const int64_t timestamp = audio_ ? audio_->TimestampAt(lead_in) : video_->TimestampAt(position);
  const int err = demuxer_->Seek(lead, timestamp);
  if (err < 0) return AverrorFailure(Status::NoSeeking, err);
  if (audio_) audio_->Restart(position);
  if (video_) video_->Restart(position);
  return {};
}

const FrameFormat& MediaStream::VideoFormat() const {
  static const FrameFormat kNone{};
  return video_ ? video_->Format() : kNone;
}

Status MediaStream::SetVideoBitsPerPixel(int bits) {
  if (!video_) return Status::NoStream;
  return video_->SetBitsPerPixel(bits);
}

Result MediaStream::ReadVideoFrame(void* buffer, uint32_t size, Time& start, Time& end,
                                   std::chrono::milliseconds wait) {
  if (!video_) return NoStreamFailure(kVideo);
  if (!running_) return Failure(Status::NotRunning);
  using Clock = PacketDecoder::Clock;
  const Clock::time_point now = Clock::now();
  // A wait too long to add to the clock means no limit.
  const Clock::time_point deadline =
      wait >= std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - now)
          ? Clock::time_point::max()
          : now + wait;
  return video_->Read(static_cast<uint8_t*>(buffer), size, start, end, deadline);
}

namespace {

// Demuxers of subtitles, text, single images and raw video: their files hold no sound.
constexpr std::string_view kNotMediaDemuxers[] = {
    "aqtitle", "ass",    "cdg",         "ingenient", "jacosub",   "lrc",      "mcc",       "microdvd",
    "mjpeg_2000", "mpl2", "mpsub",     "pjs",       "rawvideo",  "realtext", "sami",      "scc",
    "srt",     "stl",    "subviewer",   "subviewer1", "sup",     "tty",      "vobsub",    "vplayer",
    "webvtt",  "yuv4mpegpipe", "v210",  "v210x",     "bitpacked", "sdr2",     "ipu",
};
// Extensions that other programs' files carry far more often than media.
constexpr std::string_view kNotMediaExtensions[] = {"txt", "sub", "idx", "nfo", "dat", "ppm", "cgi", "bit", "v"};

// Containers recognised by content, with the demuxer that reads them.
constexpr std::pair<std::string_view, std::string_view> kProbedContainers[] = {
    {"wma", "asf"},  {"wmv", "asf"},   {"asf", "asf"},  {"wav", "wav"},  {"aif", "aiff"},  {"aiff", "aiff"},
    {"aifc", "aiff"}, {"mpg", "mpeg"}, {"mpeg", "mpeg"}, {"vob", "mpeg"}, {"ts", "mpegts"}, {"m2ts", "mpegts"},
    {"mts", "mpegts"}, {"rm", "rm"},   {"ra", "rm"},    {"rmvb", "rm"},  {"wv", "wv"},     {"opus", "ogg"},
    {"oga", "ogg"},  {"ogv", "ogg"},   {"spx", "ogg"},  {"caf", "caf"},  {"amr", "amr"},   {"au", "au"},
    {"snd", "au"},   {"w64", "w64"},   {"mxf", "mxf"},  {"voc", "voc"},  {"ape", "ape"},   {"m4r", "mov"},
};

template <typename List>
bool Contains(const List& list, std::string_view value) {
  return std::find(std::begin(list), std::end(list), value) != std::end(list);
}

}  // namespace

std::vector<std::string> MediaFileExtensions() {
  std::set<std::string> extensions;
  void* iterator = nullptr;
  while (const AVInputFormat* format = av_demuxer_iterate(&iterator)) {
    if (format->extensions == nullptr || Contains(kNotMediaDemuxers, format->name)) continue;
    const std::string_view list = format->extensions;
    for (std::size_t start = 0; start <= list.size();) {
      const std::size_t end = std::min(list.find(',', start), list.size());
      const std::string extension = AsciiLower(std::string(list.substr(start, end - start)));
      if (!extension.empty() && !Contains(kNotMediaExtensions, extension)) extensions.insert(extension);
      start = end + 1;
    }
  }
  for (const auto& [extension, demuxer] : kProbedContainers) {
    if (av_find_input_format(std::string(demuxer).c_str()) != nullptr) extensions.insert(std::string(extension));
  }
  return {extensions.begin(), extensions.end()};
}

bool CanDecodeWindowsMedia() { return avcodec_find_decoder(AV_CODEC_ID_WMAV2) != nullptr; }

}  // namespace platform::mmstream
