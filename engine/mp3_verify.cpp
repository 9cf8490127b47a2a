#include "engine/mp3_verify.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "engine/mp3_bitstream.h"
#include "engine/mp3_tags.h"
#include "platform/errtext.h"
#include "platform/mmstream/ffmpeg_ptr.h"
#include "platform/paths/file_descriptor.h"

namespace engine {

namespace {

namespace ff = platform::mmstream;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kId3v1Size = 128;
// LAME's delay (576 + 529 samples) and the frame the end is padded to, for a file without an
// Info frame, whose decoded length the decoder cannot trim.
constexpr std::int64_t kUntrimmedSlack = 1105 + 2 * 1152;

// A read the system refused, with its error number.
struct ReadFailure {
  int error;
};

// Reads up to `size` bytes at `offset`; fewer only at the end of the file. Raises ReadFailure.
std::size_t ReadAt(int fd, std::uint8_t* data, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw ReadFailure{errno};
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

// The facts of the first audio frame's Info (or Xing) header that the checks need.
struct InfoFrame {
  std::uint64_t frameSize = 0;
  bool hasLameTag = false;
  std::uint64_t musicLength = 0;  // from the Info frame's first byte to the last audio byte
  std::uint16_t musicCrc = 0;
  bool tagCrcGood = false;
};

std::optional<InfoFrame> ReadInfoFrame(const Bytes& frame) {
  const std::optional<mp3::FrameHeader> header = mp3::ParseFrameHeader(frame.data(), frame.size());
  if (!header) return std::nullopt;
  InfoFrame info;
  info.frameSize = static_cast<std::uint64_t>(header->FrameBytes());
  std::size_t at = static_cast<std::size_t>(header->HeaderBytes() + header->SideInfoBytes());
  if (frame.size() < at + 8) return info;
  if (std::memcmp(&frame[at], "Info", 4) != 0 && std::memcmp(&frame[at], "Xing", 4) != 0) return info;
  const auto bigEndian = [](const std::uint8_t* from, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | from[i];
    return value;
  };
  const std::uint32_t flags = bigEndian(&frame[at + 4], 4);
  at += 8 + ((flags & 1) ? 4 : 0) + ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0) + ((flags & 8) ? 4 : 0);
  if (frame.size() < at + 36 || info.frameSize < at + 36) return info;
  const std::uint8_t* lame = &frame[at];
  info.hasLameTag = true;
  info.musicLength = bigEndian(lame + 28, 4);
  info.musicCrc = static_cast<std::uint16_t>(bigEndian(lame + 32, 2));
  const auto tagCrc = static_cast<std::uint16_t>(bigEndian(lame + 34, 2));
  info.tagCrcGood = mp3::TagCrc(frame.data(), at + 34) == tagCrc;
  return info;
}

std::string TimeText(double seconds) {
  const auto whole = static_cast<long long>(std::max(0.0, seconds));
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  return text;
}

// The tag: its bytes as written, and TagLib reading every frame of it.
std::optional<std::string> CheckTag(int fd, const std::string& path, const WrittenTag& written, std::mutex* gate) {
  if (written.size == 0) return std::nullopt;
  // The bytes on disk against the checksums of those written, part by part, in pieces: a large
  // picture is never held.
  Bytes buffer(std::size_t{1} << 16);
  std::size_t partsEnd = 0;
  for (const WrittenTag::Part& part : written.parts) {
    std::uint64_t checksum = kTagChecksumStart;
    for (std::size_t done = 0; done < part.size;) {
      const std::size_t chunk = std::min(buffer.size(), part.size - done);
      if (ReadAt(fd, buffer.data(), chunk, part.offset + done) != chunk) return "the tag does not read back: the file is shorter";
      checksum = TagChecksum(buffer.data(), chunk, checksum);
      done += chunk;
    }
    if (checksum != part.checksum) return "the tag does not read back: " + part.id + " differs";
    partsEnd = std::max(partsEnd, part.offset + part.size);
  }
  for (std::size_t at = partsEnd; at < written.size;) {
    const std::size_t chunk = std::min(buffer.size(), written.size - at);
    if (ReadAt(fd, buffer.data(), chunk, at) != chunk) return "the tag does not read back: the file is shorter";
    if (std::any_of(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(chunk), [](std::uint8_t b) { return b != 0; }))
      return "the tag does not read back: its padding differs";
    at += chunk;
  }
  // An independent reader: TagLib, which takes ID3v2.3 dates into ID3v2.4's frames. It holds the
  // whole tag, pictures included, while it reads.
  std::unique_lock<std::mutex> turn;
  if (gate != nullptr) turn = std::unique_lock(*gate);
  TagLib::MPEG::File file(path.c_str(), false);
  if (!file.isValid() || !file.hasID3v2Tag()) return "the tag does not read back";
  const TagLib::ID3v2::FrameListMap& frames = file.ID3v2Tag()->frameListMap();
  std::size_t pictureCount = 0;
  for (const WrittenTag::Part& part : written.parts) {
    if (part.id == "header") continue;
    std::string id = part.id;
    if (id == "TYER" || id == "TDAT" || id == "TIME") id = "TDRC";
    if (id == "TORY") id = "TDOR";
    if (!frames.contains(TagLib::ByteVector(id.data(), 4))) return "the tag does not read back: " + part.id + " is missing";
    if (part.id == "APIC") ++pictureCount;
  }
  if (pictureCount > 0) {
    const auto found = frames.find("APIC");
    if (found == frames.end() || found->second.size() != pictureCount) return "the tag does not read back: APIC differs";
  }
  return std::nullopt;
}

// The checksum the encoder wrote of the audio against the audio's bytes, and the audio's length
// against the length it wrote.
std::optional<std::string> CheckAudioBytes(int fd, std::uint64_t audioStart, std::uint64_t fileSize) {
  Bytes first(2048);
  first.resize(ReadAt(fd, first.data(), first.size(), audioStart));
  const std::optional<InfoFrame> info = ReadInfoFrame(first);
  if (!info) return "no audio follows the tag";
  if (!info->hasLameTag) return std::nullopt;  // an encoder that keeps no checksum
  if (!info->tagCrcGood) return "the MP3 header is damaged";
  std::uint64_t end = fileSize;
  std::uint8_t tail[3] = {};
  if (fileSize >= audioStart + kId3v1Size && ReadAt(fd, tail, 3, fileSize - kId3v1Size) == 3 &&
      std::memcmp(tail, "TAG", 3) == 0) {
    end = fileSize - kId3v1Size;
  }
  const std::uint64_t musicEnd = audioStart + info->musicLength;
  if (musicEnd > end) return "the file is shorter than the encoder wrote it";
  Bytes buffer(1 << 16);
  std::uint16_t crc = 0;
  for (std::uint64_t at = audioStart + info->frameSize; at < musicEnd;) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), musicEnd - at));
    const std::size_t got = ReadAt(fd, buffer.data(), chunk, at);
    if (got == 0) return "the file is shorter than the encoder wrote it";
    crc = mp3::TagCrc(buffer.data(), got, crc);
    at += got;
  }
  if (crc != info->musicCrc) return "the audio differs from what was encoded (its checksum does not match)";
  if (musicEnd != end) return "the file is longer than the encoder wrote it";
  return std::nullopt;
}

void QuietLibrary() {
  static std::once_flag once;
  // A desktop program has no terminal for FFmpeg's own log; failures are reported here.
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// Decodes every frame; the decoded length, or the reason decoding failed.
std::optional<std::string> DecodeAll(const std::string& path, std::int64_t& decoded, int& sampleRate) {
  QuietLibrary();
  AVFormatContext* opened = nullptr;
  const AVInputFormat* mp3 = av_find_input_format("mp3");
  if (avformat_open_input(&opened, path.c_str(), mp3, nullptr) < 0) return "the file does not open as MP3";
  const ff::FormatPtr format(opened);
  // The MP3 demuxer knows its one stream from the header; FFmpeg's stream probing, which
  // decodes frames ahead, is not needed.
  int index = -1;
  for (unsigned i = 0; i < format->nb_streams && index < 0; ++i) {
    if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) index = static_cast<int>(i);
  }
  if (index < 0) return "the file holds no audio";
  const AVStream* stream = format->streams[index];
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (codec == nullptr) return "no MP3 decoder is present";
  const ff::CodecPtr context(avcodec_alloc_context3(codec));
  if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0) return "no MP3 decoder is present";
  // Every damaged frame is an error rather than a frame of silence.
  context->err_recognition = AV_EF_EXPLODE | AV_EF_CRCCHECK | AV_EF_BITSTREAM | AV_EF_BUFFER;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return "no MP3 decoder is present";
  const ff::PacketPtr packet(av_packet_alloc());
  const ff::FramePtr frame(av_frame_alloc());
  if (!packet || !frame) throw std::bad_alloc();
  decoded = 0;
  double at = 0.0;
  const auto receive = [&]() -> std::optional<std::string> {
    for (;;) {
      const int result = avcodec_receive_frame(context.get(), frame.get());
      if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return std::nullopt;
      if (result < 0 || frame->decode_error_flags != 0) return "a decoding error at " + TimeText(at);
      decoded += frame->nb_samples;
      sampleRate = frame->sample_rate;
      av_frame_unref(frame.get());
    }
  };
  for (;;) {
    const int read = av_read_frame(format.get(), packet.get());
    if (read == AVERROR_EOF) break;
    if (read < 0) return "a reading error at " + TimeText(at);
    if (packet->stream_index == index) {
      if (packet->pts != AV_NOPTS_VALUE) at = static_cast<double>(packet->pts) * av_q2d(stream->time_base);
      const int sent = avcodec_send_packet(context.get(), packet.get());
      av_packet_unref(packet.get());
      if (sent < 0 && sent != AVERROR(EAGAIN)) return "a decoding error at " + TimeText(at);
      if (auto failure = receive()) return failure;
    } else {
      av_packet_unref(packet.get());
    }
  }
  avcodec_send_packet(context.get(), nullptr);
  return receive();
}

}  // namespace

std::optional<std::string> VerifyMp3(const std::string& path, const Mp3Expectation& expected) {
  try {
    const platform::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.Get() < 0) return "the file cannot be read: " + platform::ErrnoText(errno);
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode)) return "the file cannot be read";
    const auto fileSize = static_cast<std::uint64_t>(status.st_size);
    if (auto failure = CheckTag(fd.Get(), path, expected.tag, expected.tagGate)) return failure;
    if (auto failure = CheckAudioBytes(fd.Get(), expected.tag.size, fileSize)) return failure;

    std::int64_t decoded = 0;
    int rate = 0;
    if (auto failure = DecodeAll(path, decoded, rate)) return failure;
    std::int64_t wanted = expected.samplesPerChannel;
    std::int64_t slack = 0;
    if (expected.sampleRate > 0 && rate > 0 && rate != expected.sampleRate) {
      wanted = static_cast<std::int64_t>(std::llround(static_cast<double>(wanted) * rate / expected.sampleRate));
      slack = rate / 1000;
    }
    Bytes first(2048);
    first.resize(ReadAt(fd.Get(), first.data(), first.size(), expected.tag.size));
    const std::optional<InfoFrame> info = ReadInfoFrame(first);
    // Without an Info frame the decoder cannot know the encoder's delay and padding.
    const bool trimmed = info && info->hasLameTag;
    const bool right = trimmed ? std::llabs(decoded - wanted) <= slack
                               : decoded >= wanted - slack && decoded <= wanted + slack + kUntrimmedSlack;
    if (!right) {
      return "the decoded length is " + std::to_string(decoded) + " samples, " + std::to_string(wanted) +
             " were encoded";
    }
    return std::nullopt;
  } catch (const ReadFailure& failure) {
    return "the file cannot be read: " + platform::ErrnoText(failure.error);
  } catch (const std::bad_alloc&) {
    return "there is not enough memory to check the file";
  }
}

}  // namespace engine
