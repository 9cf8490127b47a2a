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
#include "engine/mp3_verify.h"
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

// LAME's algorithm quality for constant bit rates: near the best at a fraction of 0's cost. A
// variable bit rate keeps LAME's own, as LAME's and FFmpeg's command lines do.
constexpr int kCbrAlgorithmQuality = 2;

Mp3StreamSettings StreamSettingsOf(const EncodingSettings& settings, int sampleRate) {
  Mp3StreamSettings stream;
  stream.sampleRate = sampleRate;
  stream.lameChannels = 2;  // a one-channel block is handed over twice
  stream.channelMode = settings.channelMode;
  stream.vbr = settings.vbr;
  stream.bitRateKbps = settings.bitrate;
  stream.vbrQuality = static_cast<float>(settings.vbrQuality);
  stream.vbrMinKbps = settings.vbrMinBitrate;
  stream.vbrMaxKbps = settings.vbrMaxBitrate;
  stream.quality = settings.vbr ? -1 : kCbrAlgorithmQuality;
  stream.original = false;
  return stream;
}

// What an album is told apart by: its artist and title, else the folder of its files.
std::string AlbumKeyOf(const Mp3Tags& tags, const std::string& source) {
  if (tags.album.empty()) return "folder\n" + platform::FolderOf(source);
  return "album\n" + (tags.albumArtist.empty() ? tags.artist : tags.albumArtist) + "\n" + tags.album;
}

}  // namespace

ConversionFailure::ConversionFailure(ConversionError error)
    : std::runtime_error(error.detail.empty() ? error.file : error.detail), error_(std::move(error)) {}

Conversion::Conversion(ConversionRequest request, EndHandler onEnd)
    : request_(std::move(request)), onEnd_(std::move(onEnd)), workers_(std::max(request_.workers, 1)),
      worker_([this] { Work(); }) {}

Conversion::~Conversion() {
  Stop();
  if (worker_.joinable()) worker_.join();
}

void Conversion::SetWorkers(int workers) {
  std::lock_guard lock(mutex_);
  workers_ = std::max(workers, 1);
  if (Mp3StreamEncoder* encoder = encoder_.load()) encoder->SetWorkers(workers_);
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
  stopping_ = true;
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

  std::unique_lock<std::mutex> tagTurn;
  if (request.tagGate) tagTurn = std::unique_lock(*request.tagGate);
  // The source first: a file that cannot be read creates nothing.
  std::unique_ptr<AudioFileReader> reader;
  try {
    reader = std::make_unique<AudioFileReader>(request.sourceFile, settings.sampleRate);
  } catch (const std::exception& e) {
    Fail(ConversionError::Kind::SourceUnreadable, e.what(), request.sourceFile);
  }
  result.declaredDuration = std::max(reader->DeclaredDuration(), reader->StreamDuration());
  length_ = result.declaredDuration;
  const platform::mmstream::PcmFormat format = reader->Format();
  const int channels = format.channels;
  const bool floatSamples = reader->FloatSamples();
  if (request.monoStaysMono && channels == 1) settings.channelMode = ChannelMode::Mono;
  const int frameBytes = channels * (floatSamples ? 4 : 2);

  // The tags: every frame and picture, read now and let go once written (only what verification
  // compares is kept of them).
  std::vector<std::uint8_t> id3v2, id3v1;
  {
    Mp3Tags tags = request.tags ? request.tags() : Mp3Tags{};
    result.albumKey = AlbumKeyOf(tags, request.sourceFile);
    result.tagsLeftOut = tags.leftOut;
    std::vector<TagPicture> pictures;
    if (tags.pictures) {
      pictures = tags.pictures();
    } else if (tags.cover) {
      CoverPicture cover = tags.cover();
      if (!cover.empty()) pictures.push_back({kPictureFrontCover, {}, cover.mimeType, std::move(cover.data)});
    }
    id3v2 = RenderCompleteId3v2Tag(tags, pictures);
    id3v1 = RenderId3v1Tag(tags);
  }
  WrittenTag writtenTag = WrittenTag::Of(id3v2);

  std::unique_ptr<LoudnessMeter> meter;
  if (request.replayGain) {
    try {
      meter = std::make_unique<LoudnessMeter>(channels, format.sampleRate);
    } catch (const std::exception&) {
      // A rate the meter does not take: the MP3 simply carries no gain.
    }
  }

  std::unique_ptr<StagedFile> file;
  try {
    file = std::make_unique<StagedFile>(output);
  } catch (const FileError& e) {
    throw ConversionFailure(OutputErrorOf(e, ConversionError::Kind::OutputUncreatable, output));
  }

  try {
    FileStream& stream = file->Stream();
    // The tags in full, in any language, ahead of the audio; the ID3v1 copy follows it.
    if (!id3v2.empty()) stream.Write(id3v2.data(), id3v2.size());
    const std::uint64_t firstFrame = id3v2.size();
    std::vector<std::uint8_t>().swap(id3v2);
    if (tagTurn.owns_lock()) tagTurn.unlock();

    std::unique_ptr<Mp3StreamEncoder> encoder;
    try {
      encoder = std::make_unique<Mp3StreamEncoder>(
          StreamSettingsOf(settings, format.sampleRate),
          Mp3PcmFormat{floatSamples ? PcmSampleFormat::Float32 : PcmSampleFormat::Int16, channels},
          [&stream](const std::uint8_t* data, std::size_t length) { stream.Write(data, length); }, workers_.load(),
          &stopping_);
    } catch (const EncoderError& e) {
      const bool missing = !lame::Loaded() && !lame::LoadError().empty();
      Fail(missing ? ConversionError::Kind::EncoderUnavailable : ConversionError::Kind::EncoderRefused,
           missing ? lame::LoadError() : std::to_string(format.sampleRate));
    }
    {
      std::lock_guard lock(mutex_);
      encoder_ = encoder.get();
      encoder->SetWorkers(workers_);
    }
    // The encoder goes from the threads' view before it goes.
    struct Unpublish {
      Conversion& conversion;
      ~Unpublish() {
        std::lock_guard lock(conversion.mutex_);
        conversion.encoder_ = nullptr;
      }
    } unpublish{*this};

    std::vector<std::uint8_t> pcm(kBlockBytes);
    std::int64_t frames = 0;
    try {
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
        const std::int64_t blockFrames = got / static_cast<std::uint32_t>(frameBytes);
        if (meter) meter->AddBlock(pcm.data(), static_cast<std::size_t>(blockFrames * frameBytes), floatSamples);
        if (!encoder->Encode(pcm.data(), blockFrames)) return;  // stopped
        frames += blockFrames;
      }
      result.decodedDuration = reader->StreamPosition();
      reader.reset();
      if (!encoder->Finish()) return;
    } catch (const EncoderError& e) {
      Fail(ConversionError::Kind::EncoderFailed, e.what());
    }
    stream.Write(id3v1.data(), id3v1.size());
    const std::vector<std::uint8_t>& tagFrame = encoder->TagFrame();
    if (!tagFrame.empty()) stream.WriteAt(firstFrame, tagFrame.data(), tagFrame.size());
    stream.Sync();

    // The track's gain, into the tag's padding: the audio does not move.
    if (meter) {
      const std::optional<LoudnessResult> loudness = meter->Result();
      if (loudness && writtenTag.size > 0) {
        const RetagResult retag = RewriteTagInCopy(file->TemporaryName(), ReplayGainFrames(loudness), file->TemporaryName());
        if (retag.outcome == RetagOutcome::Rewritten) writtenTag = retag.tag;
      }
      if (loudness) result.loudness = std::shared_ptr<const LoudnessMeter>(std::move(meter));
    }
    if (request.beforeVerify) request.beforeVerify(file->TemporaryName());
    if (request.verify) {
      if (!GoOn()) return;
      if (const std::optional<std::string> problem =
              VerifyMp3(file->TemporaryName(), Mp3Expectation{frames, format.sampleRate, writtenTag, request.tagGate.get()}))
        Fail(ConversionError::Kind::NotVerified, *problem, output);
      result.verified = true;
    }
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
