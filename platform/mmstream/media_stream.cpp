#include "platform/mmstream/media_stream.h"

#include "platform/mmstream/audio_decoder.h"
#include "platform/mmstream/demuxer.h"
#include "platform/mmstream/file_source.h"
#include "platform/mmstream/pcm_format.h"
#include "platform/mmstream/video_decoder.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <string_view>
#include <utility>

namespace platform::mmstream {

namespace {

// A quarter of a second covers the few frames any audio decoder needs to settle.
constexpr STREAM_TIME kAudioSeekLeadIn = 2'500'000;

}  // namespace

MediaStream::MediaStream() = default;

// The decoders hold a reference to the demuxer, so they go first.
MediaStream::~MediaStream() {
  audio_.reset();
  video_.reset();
  demuxer_.reset();
}

HRESULT MediaStream::Open(const std::string& path, unsigned streams, std::unique_ptr<MediaStream>& out) {
  return Open(path, streams, AudioDelivery{}, out);
}

HRESULT MediaStream::Open(const std::string& path, unsigned streams, const AudioDelivery& audio,
                          std::unique_ptr<MediaStream>& out) {
  out.reset();
  if (audio.rate < 0 || audio.rate > kMaxSampleRate) return E_INVALIDARG;
  std::unique_ptr<MediaStream> media(new MediaStream);
  HRESULT hr = Demuxer::Open(path, streams & (kAudio | kVideo), media->demuxer_);
  if (Failed(hr)) return hr;
  Demuxer& demuxer = *media->demuxer_;

  HRESULT video_failure = S_OK;
  if (demuxer.Stream(kVideo) != nullptr) {
    video_failure = VideoDecoder::Open(demuxer, media->video_);
    if (Failed(video_failure)) demuxer.Drop(kVideo);
  }
  if (demuxer.Stream(kAudio) != nullptr) {
    // Opening the audio decodes its first samples; a stream that yields none is unusable.
    hr = AudioDecoder::Open(demuxer, audio, media->audio_);
    if (Failed(hr)) {
      if (!media->video_) return hr;
      demuxer.Drop(kAudio);
    }
  }
  if (!media->audio_ && !media->video_) return Failed(video_failure) ? video_failure : MS_E_NOSTREAM;

  media->duration_ = demuxer.Duration();
  out = std::move(media);
  return S_OK;
}

STREAM_TIME MediaStream::DeclaredDuration() const { return std::max(duration_, demuxer_->DeclaredDuration()); }

const WAVEFORMATEX& MediaStream::AudioFormat() const {
  static const WAVEFORMATEX kNone{};
  return audio_ ? audio_->Format() : kNone;
}

bool IsProtected(const std::string& path) {
  std::unique_ptr<FileSource> source;
  if (Failed(FileSource::Open(path, source))) return false;
  return ReadAsfHeaderFacts(source->Descriptor()).encrypted;
}

int MediaStream::AudioSourceChannels() const { return audio_ ? audio_->SourceChannels() : 0; }

HRESULT MediaStream::ReadAudio(void* buffer, uint32_t size, uint32_t& bytes, STREAM_TIME& start,
                               STREAM_TIME& end) {
  bytes = 0;
  if (!audio_) return MS_E_NOSTREAM;
  if (!running_) return MS_E_NOTRUNNING;
  if (buffer == nullptr) return E_POINTER;
  return audio_->Read(static_cast<uint8_t*>(buffer), size, bytes, start, end);
}

HRESULT MediaStream::Seek(STREAM_TIME position) {
  if (position < 0) position = 0;
  if (duration_ > 0 && position > duration_) position = duration_;
  // The audio's timeline leads when there is audio; video frames follow by their times. The
  // container is placed a little before the target: a decoder restarted cold gets its first
  // frames wrong (overlapping windows, MP3's bit reservoir), and those frames are then dropped
  // along with the rest of the lead-in.
  const StreamKind lead = audio_ ? kAudio : kVideo;
  const STREAM_TIME lead_in = audio_ ? std::max<STREAM_TIME>(0, position - kAudioSeekLeadIn) : position;
  const int64_t timestamp = audio_ ? audio_->TimestampAt(lead_in) : video_->TimestampAt(position);
  if (demuxer_->Seek(lead, timestamp) < 0) return MS_E_NOSEEKING;
  if (audio_) audio_->Restart(position);
  if (video_) video_->Restart(position);
  return S_OK;
}

HRESULT MediaStream::SetRunning(bool run) {
  running_ = run;
  return S_OK;
}

int MediaStream::VideoWidth() const { return video_ ? video_->Width() : 0; }
int MediaStream::VideoHeight() const { return video_ ? video_->Height() : 0; }
STREAM_TIME MediaStream::TimePerFrame() const { return video_ ? video_->TimePerFrame() : 0; }
int MediaStream::VideoBitCount() const { return video_ ? video_->BitCount() : 0; }
uint32_t MediaStream::VideoFrameBytes() const { return video_ ? video_->FrameBytes() : 0; }

HRESULT MediaStream::SetVideoBitCount(int bits) {
  if (!video_) return MS_E_NOSTREAM;
  return video_->SetBitCount(bits);
}

HRESULT MediaStream::ReadVideoFrame(void* buffer, uint32_t size, STREAM_TIME& start, STREAM_TIME& end,
                                    std::chrono::milliseconds wait) {
  if (!video_) return MS_E_NOSTREAM;
  if (!running_) return MS_E_NOTRUNNING;
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
      std::string extension(list.substr(start, end - start));
      std::transform(extension.begin(), extension.end(), extension.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
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
