#include "engine/conversion.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <memory>
#include <vector>

#include "engine/audio_file_reader.h"
#include "engine/file_stream.h"
#include "engine/lame_library.h"
#include "engine/staged_file.h"
#include "platform/mmstream/media_stream.h"
#include "platform/paths/folder_chain.h"
#include "platform/paths/path_names.h"

namespace engine {

namespace {

constexpr std::int64_t kUnitsPerSecond = 10'000'000;
// Bytes of PCM decoded per block: small enough for Pause and Stop to take effect at once,
// large enough that the per-block cost does not show.
constexpr std::uint32_t kBlockBytes = 32768;

[[noreturn]] void Fail(ConversionError::Kind kind, std::string detail, std::string file = {}, int errorNumber = 0) {
  throw ConversionFailure(ConversionError{kind, std::move(file), std::move(detail), errorNumber});
}

// A file error as the conversion reports it: what failed and on which file.
ConversionError OutputErrorOf(const FileError& e, ConversionError::Kind kind, const std::string& file) {
  return ConversionError{kind, file, std::strerror(e.ErrorNumber()), e.ErrorNumber()};
}

// LAME's own numbers for the channel modes (its MPEG_mode).
int LameMode(ChannelMode mode) {
  switch (mode) {
    case ChannelMode::Stereo: return 0;
    case ChannelMode::JointStereo: return 1;
    case ChannelMode::DualChannel: return 2;
    case ChannelMode::Mono: return 3;
  }
  return 1;
}

// LAME's default variable-bit-rate method (vbr_mtrh), which its documentation calls both faster
// and better than the older ones.
constexpr int kVbrDefaultMethod = 4;
// LAME's algorithm quality for constant bit rates: near the best at a fraction of 0's cost.
constexpr int kCbrAlgorithmQuality = 2;

// One LAME encoder, set up for one file: it takes PCM blocks and gives MP3 bytes.
class Mp3Encoder {
 public:
  Mp3Encoder(const EncodingSettings& wanted, int inputRate) {
    lame::Load();
    if (!lame::Loaded()) Fail(ConversionError::Kind::EncoderUnavailable, lame::LoadError());
    gf_ = lame::lame_init();
    if (gf_ == nullptr) Fail(ConversionError::Kind::EncoderFailed, "lame_init");
    lame::lame_set_in_samplerate(gf_, inputRate);
    // The encoder always gets two channels; a one-channel block is handed over twice.
    lame::lame_set_num_channels(gf_, 2);
    lame::lame_set_out_samplerate(gf_, wanted.sampleRate);
    lame::lame_set_mode(gf_, LameMode(wanted.channelMode));
    lame::lame_set_original(gf_, 0);
    if (!wanted.vbr) {
      lame::lame_set_brate(gf_, wanted.bitrate);
      lame::lame_set_quality(gf_, kCbrAlgorithmQuality);
    } else {
      lame::lame_set_VBR(gf_, kVbrDefaultMethod);
      lame::lame_set_VBR_q(gf_, wanted.vbrQuality);
      if (wanted.vbrMinBitrate != 0) lame::lame_set_VBR_min_bitrate_kbps(gf_, wanted.vbrMinBitrate);
      if (wanted.vbrMaxBitrate != 0) lame::lame_set_VBR_max_bitrate_kbps(gf_, wanted.vbrMaxBitrate);
    }
    lame::lame_set_bWriteVbrTag(gf_, 1);
    // An encoder that refused its settings would turn every block into an error and leave an
    // empty file that looks converted.
    if (lame::lame_init_params(gf_) < 0) Fail(ConversionError::Kind::EncoderRefused, std::to_string(inputRate));
  }
  ~Mp3Encoder() {
    lame::lame_close(gf_);
    lame::Unload();
  }
  Mp3Encoder(const Mp3Encoder&) = delete;
  Mp3Encoder& operator=(const Mp3Encoder&) = delete;

  // Encodes `bytes` of interleaved PCM (16-bit or float, one or two channels) into `out`; a
  // trailing partial sample frame is not encoded.
  void Encode(const void* pcm, std::uint32_t bytes, bool floatSamples, int channels, std::vector<std::uint8_t>& out) {
    const int sampleBytes = floatSamples ? 4 : 2;
    const int frames = static_cast<int>(bytes / static_cast<std::uint32_t>(sampleBytes * channels));
    out.resize(static_cast<std::size_t>(frames) * 5 / 4 + 7200);
    const int room = static_cast<int>(out.size());
    int written;
    // A one-channel block is the same buffer twice, with no copy.
    if (floatSamples) {
      const auto* samples = static_cast<const float*>(pcm);
      written = channels == 2 ? lame::lame_encode_buffer_interleaved_ieee_float(gf_, samples, frames, out.data(), room)
                              : lame::lame_encode_buffer_ieee_float(gf_, samples, samples, frames, out.data(), room);
    } else {
      auto* samples = static_cast<short*>(const_cast<void*>(pcm));
      written = channels == 2 ? lame::lame_encode_buffer_interleaved(gf_, samples, frames, out.data(), room)
                              : lame::lame_encode_buffer(gf_, samples, samples, frames, out.data(), room);
    }
    if (written < 0) Fail(ConversionError::Kind::EncoderFailed, std::to_string(written));
    out.resize(static_cast<std::size_t>(written));
  }

  // The last frames, and the ID3v1 tag of `tags` after them.
  void Finish(const Mp3Tags& tags, std::vector<std::uint8_t>& out) {
    lame::id3tag_init(gf_);
    const auto set = [this](void (*setter)(lame::lame_t, const char*), const std::string& text) {
      setter(gf_, Id3v1Text(text).c_str());
    };
    set(lame::id3tag_set_title, tags.title);
    set(lame::id3tag_set_artist, tags.artist);
    set(lame::id3tag_set_album, tags.album);
    set(lame::id3tag_set_year, YearOf(tags.date));
    if (tags.track > 0) lame::id3tag_set_track(gf_, std::to_string(tags.track).c_str());
    set(lame::id3tag_set_comment, tags.comment);
    lame::id3tag_set_genre(gf_, Id3v1Text(tags.genre).c_str());
    out.resize(16384);
    const int written = lame::lame_encode_flush(gf_, out.data(), static_cast<int>(out.size()));
    if (written < 0) Fail(ConversionError::Kind::EncoderFailed, std::to_string(written));
    out.resize(static_cast<std::size_t>(written));
  }

  // The Info/Xing tag frame that replaces the placeholder frame the encoder wrote first; empty
  // when it wrote none (at the lowest rates the tag does not fit in a frame).
  std::vector<std::uint8_t> TagFrame() {
    std::vector<std::uint8_t> frame(4096);
    const std::size_t size = lame::lame_get_lametag_frame(gf_, frame.data(), frame.size());
    if (size > frame.size()) Fail(ConversionError::Kind::EncoderFailed, "lame_get_lametag_frame");
    frame.resize(size);
    return frame;
  }

 private:
  lame::lame_t gf_ = nullptr;
};

}  // namespace

ConversionFailure::ConversionFailure(ConversionError error)
    : std::runtime_error(error.detail.empty() ? error.file : error.detail), error_(std::move(error)) {}

Conversion::Conversion(ConversionRequest request, EndHandler onEnd)
    : request_(std::move(request)), onEnd_(std::move(onEnd)), worker_([this] { Work(); }) {}

Conversion::~Conversion() {
  Stop();
  if (worker_.joinable()) worker_.join();
}

void Conversion::Pause() {
  std::lock_guard lock(mutex_);
  paused_ = true;
}

void Conversion::Resume() {
  {
    std::lock_guard lock(mutex_);
    paused_ = false;
  }
  wake_.notify_all();
}

bool Conversion::Holding() const {
  std::lock_guard lock(mutex_);
  return holding_;
}

void Conversion::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
  }
  wake_.notify_all();
}

bool Conversion::GoOn() {
  std::unique_lock lock(mutex_);
  if (paused_ && !stopRequested_) {
    holding_ = true;
    wake_.wait(lock, [this] { return !paused_ || stopRequested_; });
    holding_ = false;
  }
  return !stopRequested_;
}

void Conversion::Work() {
  ConversionResult result;
  try {
    Convert(result);
  } catch (const ConversionFailure& e) {
    result.error = e.Error();
  } catch (const std::exception& e) {
    result.error = ConversionError{ConversionError::Kind::Failed, {}, e.what()};
  }
  if (!result.written && !result.error && !result.upToDate && !result.claimedElsewhere) result.stopped = true;
  onEnd_(result);
}

void Conversion::Convert(ConversionResult& result) {
  const ConversionRequest& request = request_;
  EncodingSettings settings = Sanitized(request.encoding);
  if (!GoOn()) return;
  const std::string& output = request.outputFile;
  if (request.makeFolders) {
    std::string error;
    const std::string folder = platform::FolderOf(output);
    if (!folder.empty() && !platform::MakeFolderChain(folder, &error)) {
      // The message names the folder that failed, in quotes, and the system's reason after it.
      const std::size_t open = error.find('"'), close = error.rfind("\": ");
      if (open != std::string::npos && close != std::string::npos && close > open)
        Fail(ConversionError::Kind::FolderUncreatable, error.substr(close + 3), error.substr(open + 1, close - open - 1));
      Fail(ConversionError::Kind::FolderUncreatable, error, folder);
    }
  }
  std::unique_ptr<OutputClaim> claim;
  if (request.claim) {
    OutputClaim::Outcome outcome;
    claim = OutputClaim::Take(output, outcome);
    if (outcome == OutputClaim::Outcome::HeldElsewhere) {
      result.claimedElsewhere = true;
      return;
    }
  }
  // Asked once the claim is held: another process may have finished this very output meanwhile.
  if (request.upToDate && request.upToDate()) {
    result.upToDate = true;
    return;
  }

  // The source first: a file that cannot be read creates nothing.
  std::unique_ptr<AudioFileReader> reader;
  try {
    reader = std::make_unique<AudioFileReader>(request.sourceFile, settings.sampleRate);
  } catch (const std::exception& e) {
    Fail(ConversionError::Kind::SourceUnreadable, e.what(), request.sourceFile);
  }
  result.declaredDuration = std::max(reader->DeclaredDuration(), reader->StreamDuration());
  length_ = result.declaredDuration;
  const auto& format = reader->Format();
  const int channels = format.channels;
  const bool floatSamples = reader->FloatSamples();
  if (request.monoStaysMono && channels == 1) settings.channelMode = ChannelMode::Mono;
  Mp3Encoder encoder(settings, format.sampleRate);
  const Mp3Tags tags = request.tags ? request.tags() : Mp3Tags{};

  std::unique_ptr<StagedFile> file;
  try {
    file = std::make_unique<StagedFile>(output);
  } catch (const FileError& e) {
    throw ConversionFailure(OutputErrorOf(e, ConversionError::Kind::OutputUncreatable, output));
  }

  try {
    // The tags in full, in any language, ahead of the audio; the encoder adds the ID3v1 copy at
    // the end. The cover was read for this and goes with `tags`.
    const std::vector<std::uint8_t> id3v2 = RenderId3v2Tag(tags, tags.cover ? tags.cover() : CoverPicture{});
    FileStream& stream = file->Stream();
    if (!id3v2.empty()) stream.Write(id3v2.data(), id3v2.size());
    const std::uint64_t firstFrame = id3v2.size();

    std::vector<std::uint8_t> pcm(kBlockBytes);
    std::vector<std::uint8_t> mp3;
    for (;;) {
      if (!GoOn()) return;  // the staged file goes with `file`
      std::uint32_t got;
      try {
        got = reader->ReadData(pcm.data(), kBlockBytes);
      } catch (const std::exception& e) {
        Fail(ConversionError::Kind::SourceUnreadable, e.what(), request.sourceFile);
      }
      position_ = reader->StreamPosition();
      if (got == 0) break;
      encoder.Encode(pcm.data(), got, floatSamples, channels, mp3);
      if (!mp3.empty()) stream.Write(mp3.data(), mp3.size());
    }
    result.decodedDuration = reader->StreamPosition();
    reader.reset();
    encoder.Finish(tags, mp3);
    if (!mp3.empty()) stream.Write(mp3.data(), mp3.size());
    const std::vector<std::uint8_t> tagFrame = encoder.TagFrame();
    if (!tagFrame.empty()) stream.WriteAt(firstFrame, tagFrame.data(), tagFrame.size());
    if (!GoOn()) return;
    file->Commit(request.replace == Replace::RegularFile ? StagedFile::Replace::RegularFile
                                                         : StagedFile::Replace::Never);
  } catch (const FileError& e) {
    const NameKind kind = KindOfName(output);
    if (e.ErrorNumber() == EEXIST || e.ErrorNumber() == EISDIR) {
      const bool replaceable = request.replace == Replace::Never || kind == NameKind::RegularFile || kind == NameKind::Missing;
      throw ConversionFailure(OutputErrorOf(
          e, replaceable ? ConversionError::Kind::OutputExists : ConversionError::Kind::OutputNotAFile, output));
    }
    throw ConversionFailure(OutputErrorOf(e, ConversionError::Kind::OutputWriteFailed, output));
  }
  result.written = true;
  struct stat info {};
  if (::stat(output.c_str(), &info) == 0) result.outputBytes = info.st_size;
}

std::optional<ShortDecode> ShortDecodeOf(std::int64_t declared, std::int64_t decoded) {
  const std::int64_t tolerance = std::max(kUnitsPerSecond, declared / 50);
  if (declared <= 0 || declared - decoded <= tolerance) return std::nullopt;
  return ShortDecode{static_cast<double>(std::max<std::int64_t>(decoded, 0)) / kUnitsPerSecond,
                     static_cast<double>(declared) / kUnitsPerSecond};
}

std::optional<std::string> StartDecoding() {
  if (!platform::mmstream::CanDecodeWindowsMedia())
    return std::string("Cannot start decoding without FFmpeg present. Please install FFmpeg.");
  return std::nullopt;
}

void InterruptDecoding() { platform::mmstream::RequestInterrupt(); }

std::optional<std::string> EncoderProblem() {
  lame::Load();
  if (!lame::Loaded()) return lame::LoadError();
  lame::Unload();
  return std::nullopt;
}

}  // namespace engine
