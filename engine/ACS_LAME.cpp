#include "engine/ACS_LAME.h"

#include <utility>

#include "engine/id3_text.h"

namespace engine {

namespace {

constexpr int kBitRates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320};
constexpr int kVbrRh = 2;  // the encoder's "vbr_rh" method

void SetTag(void (*setter)(lame::lame_t, const char*), lame::lame_t gf, const std::string& text) {
  setter(gf, Id3v1Text(text).c_str());
}

}  // namespace

int BitRateKbps(TMP3BitRate rate) { return kBitRates[rate]; }

int SampleRateHz(TMP3SampleRate rate) {
  switch (rate) {
    case sr32kHz: return 32000;
    case sr41kHz: return 44100;
    case sr48kHz: return 48000;
    case srDefault: break;
  }
  return 0;
}

TMP3Out::TMP3Out(TComponent* owner) : TACSFileOut(owner) {
  lame::Load();
  if (!lame::Loaded()) throw EACSException(lame::LoadError());
}

TMP3Out::~TMP3Out() {
  TerminateWorker();
  lame::Unload();
}

void TMP3Out::Prepare() {
  FFileWritten = false;
  if (!StreamAssigned) {
    if (FileName.empty()) throw EACSException("File name is not assigned.");
    FFile = std::make_unique<StagedFile>(FileName);
    Stream = &FFile->Stream();
  }
  FComplete = false;
  try {
    Input()->Init();
    ConfigureEncoder();
    FOutBuffer = std::make_unique<unsigned char[]>(kOutBufferSize);
    // The tag texts in full, in any language, ahead of the audio; the encoder adds the
    // ID3v1 copy at the end.
    const std::vector<std::uint8_t> id3v2 = BuildId3v2Tag(
        {Id3TagTitle, Id3TagArtist, Id3TagAlbum, Id3TagYear, Id3TagTrack, Id3TagComment, Id3TagGenre});
    if (!id3v2.empty()) Stream->Write(id3v2.data(), id3v2.size());
  } catch (...) {
    // The run does not start; nothing of it may stay open.
    ReleaseRunState();
    throw;
  }
}

void TMP3Out::ConfigureEncoder() {
  FContext = lame::lame_init();
  if (FContext == nullptr) throw EACSException("The MP3 encoder could not be started.");
  const int inputRate = Input()->GetSampleRate();
  lame::lame_set_in_samplerate(FContext, inputRate);
  // The encoder always gets two channels; a one-channel input is handed over twice.
  lame::lame_set_num_channels(FContext, 2);
  lame::lame_set_out_samplerate(FContext, SampleRateHz(SampleRate));
  lame::lame_set_mode(FContext, Mode);
  lame::lame_set_copyright(FContext, Copyright ? 1 : 0);
  lame::lame_set_original(FContext, Original ? 1 : 0);
  lame::lame_set_error_protection(FContext, CRC ? 1 : 0);
  if (!EnableVBR) {
    lame::lame_set_brate(FContext, BitRateKbps(BitRate));
    lame::lame_set_quality(FContext, Quality);
  } else {
    if (WriteVBRHeader) lame::lame_set_VBR(FContext, kVbrRh);
    lame::lame_set_bWriteVbrTag(FContext, 1);
    lame::lame_set_VBR_q(FContext, VBRQuality);
    if (VBRMaxBitrate < VBRMinBitrate) std::swap(VBRMinBitrate, VBRMaxBitrate);
    lame::lame_set_VBR_min_bitrate_kbps(FContext, VBRMinBitrate);
    lame::lame_set_VBR_max_bitrate_kbps(FContext, VBRMaxBitrate);
  }
  // An encoder that refused its settings would turn every block into an error and leave an
  // empty file that looks converted.
  if (lame::lame_init_params(FContext) < 0) {
    throw EACSException("The MP3 encoder cannot encode audio of " + std::to_string(inputRate) +
                        " Hz with these settings.");
  }
}

bool TMP3Out::DoOutput(bool abort) {
  if (!Active()) return true;
  if (abort) return false;
  int n;
  int channels;
  {
    std::lock_guard lock(InputLock);
    if (FInput == nullptr) return false;
    n = FInput->GetData(FBuffer.data(), kBlockSize);
    channels = FInput->GetChannels();
  }
  if (n <= 0) {
    FComplete = true;
    return false;
  }
  auto* pcm = reinterpret_cast<short*>(FBuffer.data());
  // A trailing partial sample frame of a block is not encoded.
  const int encoded = channels == 2
      ? lame::lame_encode_buffer_interleaved(FContext, pcm, n / 4, FOutBuffer.get(), kOutBufferSize)
      : lame::lame_encode_buffer(FContext, pcm, pcm, n / 2, FOutBuffer.get(), kOutBufferSize);
  if (encoded < 0) {
    throw EACSException("The MP3 encoder failed (error " + std::to_string(encoded) + ") while writing \"" +
                        FileName + "\".");
  }
  if (encoded > 0) Stream->Write(FOutBuffer.get(), static_cast<std::size_t>(encoded));
  return true;
}

void TMP3Out::Done() {
  // Every step runs even when an earlier one failed, so the file is closed and the encoder
  // released in any case; the first failure is raised at the end.
  std::exception_ptr firstError;
  const auto attempt = [&](auto&& step) {
    try {
      step();
    } catch (...) {
      if (!firstError) firstError = std::current_exception();
    }
  };

  if (FContext != nullptr && FOutBuffer) {
    lame::id3tag_init(FContext);
    SetTag(lame::id3tag_set_title, FContext, Id3TagTitle);
    SetTag(lame::id3tag_set_artist, FContext, Id3TagArtist);
    SetTag(lame::id3tag_set_album, FContext, Id3TagAlbum);
    SetTag(lame::id3tag_set_year, FContext, Id3TagYear);
    lame::id3tag_set_track(FContext, Id3v1Text(Id3TagTrack).c_str());
    SetTag(lame::id3tag_set_comment, FContext, Id3TagComment);
    lame::id3tag_set_genre(FContext, Id3v1Text(Id3TagGenre).c_str());
    const int n = lame::lame_encode_flush(FContext, FOutBuffer.get(), kOutBufferSize);
    if (n > 0 && Stream != nullptr) attempt([&] { Stream->Write(FOutBuffer.get(), static_cast<std::size_t>(n)); });
  }
  if (FFile) attempt([&] { FFile->Stream().Close(); });
  if (FContext != nullptr) {
    lame::lame_t context = std::exchange(FContext, nullptr);
    // A file that will be removed needs no header.
    if (FComplete && lame::lame_get_bWriteVbrTag(context) > 0) {
      const std::string written = FFile ? FFile->TemporaryName() : FileName;
      if (lame::beWriteInfoTag(context, written.c_str()) != 0 && !StreamAssigned) {
        attempt([&] { throw EACSException("Cannot write the MP3 header into \"" + FileName + "\"."); });
      }
    } else {
      lame::lame_close(context);
    }
  }
  if (FFile) {
    // Only a whole file takes the final name; anything less is removed.
    if (FComplete && !firstError) {
      attempt([&] {
        FFile->Commit(ReplaceExisting ? StagedFile::Replace::Allowed : StagedFile::Replace::Never);
        FFileWritten = true;
      });
    } else {
      FFile->Discard();
    }
    FFile.reset();
    Stream = nullptr;
  }
  FComplete = false;
  FOutBuffer.reset();
  attempt([&] {
    if (TACSInput* input = Input()) input->Flush();
  });
  if (firstError) std::rethrow_exception(firstError);
}

void TMP3Out::ReleaseRunState() {
  if (FContext != nullptr) lame::lame_close(std::exchange(FContext, nullptr));
  FOutBuffer.reset();
  if (FFile) {
    // Nothing was written yet; the error that stopped the run is the one to report.
    FFile->Discard();
    FFile.reset();
    Stream = nullptr;
  }
}

}  // namespace engine
