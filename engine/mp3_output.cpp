#include "engine/mp3_output.h"

#include <string>
#include <utility>


namespace engine {

namespace {

constexpr int kBitRates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320};
constexpr int kVbrRh = 2;  // the encoder's "vbr_rh" method

void SetTag(void (*setter)(lame::lame_t, const char*), lame::lame_t gf, const std::string& text) {
  setter(gf, Id3v1Text(text).c_str());
}

}  // namespace

int BitRateKbps(Mp3BitRate rate) { return kBitRates[static_cast<int>(rate)]; }

int SampleRateHz(Mp3SampleRate rate) {
  switch (rate) {
    case Mp3SampleRate::Hz32000: return 32000;
    case Mp3SampleRate::Hz44100: return 44100;
    case Mp3SampleRate::Hz48000: return 48000;
    case Mp3SampleRate::Source: break;
  }
  return 0;
}

Mp3Output::Mp3Output(Component* owner) : FileOutput(owner) {
  lame::Load();
  if (!lame::Loaded()) throw PipelineError(lame::LoadError());
}

Mp3Output::~Mp3Output() {
  TerminateWorker();
  lame::Unload();
}

void Mp3Output::Prepare() {
  fileWritten_ = false;
  if (fileName.empty()) throw PipelineError("File name is not assigned.");
  file_ = std::make_unique<StagedFile>(fileName);
  inputExhausted_ = false;
  try {
    Input()->Init();
    ConfigureEncoder();
    mp3Buffer_ = std::make_unique<unsigned char[]>(kOutBufferSize);
    // The tags in full, in any language, ahead of the audio; the encoder adds the ID3v1 copy
    // at the end. The cover is read here, on the worker, and let go once written.
    const std::vector<std::uint8_t> id3v2 = RenderId3v2Tag(tags, tags.cover ? tags.cover() : CoverPicture{});
    if (!id3v2.empty()) file_->Stream().Write(id3v2.data(), id3v2.size());
  } catch (...) {
    // The run does not start; nothing of it may stay open.
    ReleaseRunState();
    throw;
  }
}

void Mp3Output::ConfigureEncoder() {
  encoder_ = lame::lame_init();
  if (encoder_ == nullptr) throw PipelineError("The MP3 encoder could not be started.");
  const int inputRate = Input()->GetSampleRate();
  lame::lame_set_in_samplerate(encoder_, inputRate);
  // The encoder always gets two channels; a one-channel input is handed over twice.
  lame::lame_set_num_channels(encoder_, 2);
  lame::lame_set_out_samplerate(encoder_, SampleRateHz(sampleRate));
  lame::lame_set_mode(encoder_, static_cast<int>(channelMode));
  lame::lame_set_copyright(encoder_, copyright ? 1 : 0);
  lame::lame_set_original(encoder_, original ? 1 : 0);
  lame::lame_set_error_protection(encoder_, crc ? 1 : 0);
  if (!vbr) {
    lame::lame_set_brate(encoder_, BitRateKbps(bitRate));
    lame::lame_set_quality(encoder_, quality);
  } else {
    if (writeVbrHeader) lame::lame_set_VBR(encoder_, kVbrRh);
    lame::lame_set_bWriteVbrTag(encoder_, 1);
    lame::lame_set_VBR_q(encoder_, vbrQuality);
    if (vbrMaxBitrate < vbrMinBitrate) std::swap(vbrMinBitrate, vbrMaxBitrate);
    lame::lame_set_VBR_min_bitrate_kbps(encoder_, vbrMinBitrate);
    lame::lame_set_VBR_max_bitrate_kbps(encoder_, vbrMaxBitrate);
  }
  // An encoder that refused its settings would turn every block into an error and leave an
  // empty file that looks converted.
  if (lame::lame_init_params(encoder_) < 0) {
    throw PipelineError("The MP3 encoder cannot encode audio of " + std::to_string(inputRate) +
                        " Hz with these settings.");
  }
}

bool Mp3Output::DoOutput(bool abort) {
  if (!Active()) return true;
  if (abort) return false;
  int n;
  int channels;
  bool floatSamples;
  {
    std::lock_guard lock(inputLock_);
    if (input_ == nullptr) return false;
    n = input_->GetData(buffer_.data(), kBlockSize);
    channels = input_->GetChannels();
    floatSamples = input_->FloatSamples();
  }
  if (n <= 0) {
    inputExhausted_ = true;
    return false;
  }
  // The encoder always gets two channels: a one-channel input is the same buffer twice, with no
  // copy. A trailing partial sample frame of a block is not encoded.
  int encoded;
  if (floatSamples) {
    const auto* pcm = reinterpret_cast<const float*>(buffer_.data());
    encoded = channels == 2
                  ? lame::lame_encode_buffer_interleaved_ieee_float(encoder_, pcm, n / 8, mp3Buffer_.get(), kOutBufferSize)
                  : lame::lame_encode_buffer_ieee_float(encoder_, pcm, pcm, n / 4, mp3Buffer_.get(), kOutBufferSize);
  } else {
    auto* pcm = reinterpret_cast<short*>(buffer_.data());
    encoded = channels == 2 ? lame::lame_encode_buffer_interleaved(encoder_, pcm, n / 4, mp3Buffer_.get(), kOutBufferSize)
                            : lame::lame_encode_buffer(encoder_, pcm, pcm, n / 2, mp3Buffer_.get(), kOutBufferSize);
  }
  if (encoded < 0) {
    throw PipelineError("The MP3 encoder failed (error " + std::to_string(encoded) + ") while writing \"" +
                        fileName + "\".");
  }
  if (encoded > 0) file_->Stream().Write(mp3Buffer_.get(), static_cast<std::size_t>(encoded));
  return true;
}

void Mp3Output::Done() {
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

  if (encoder_ != nullptr && mp3Buffer_) {
    lame::id3tag_init(encoder_);
    SetTag(lame::id3tag_set_title, encoder_, tags.title);
    SetTag(lame::id3tag_set_artist, encoder_, tags.artist);
    SetTag(lame::id3tag_set_album, encoder_, tags.album);
    SetTag(lame::id3tag_set_year, encoder_, YearOf(tags.date));
    if (tags.track > 0) lame::id3tag_set_track(encoder_, std::to_string(tags.track).c_str());
    SetTag(lame::id3tag_set_comment, encoder_, tags.comment);
    lame::id3tag_set_genre(encoder_, Id3v1Text(tags.genre).c_str());
    const int n = lame::lame_encode_flush(encoder_, mp3Buffer_.get(), kOutBufferSize);
    if (n > 0 && file_) attempt([&] { file_->Stream().Write(mp3Buffer_.get(), static_cast<std::size_t>(n)); });
  }
  if (file_) attempt([&] { file_->Stream().Close(); });
  if (encoder_ != nullptr) {
    lame::lame_t context = std::exchange(encoder_, nullptr);
    // A file that will be removed needs no header.
    if (inputExhausted_ && lame::lame_get_bWriteVbrTag(context) > 0) {
      const std::string written = file_ ? file_->TemporaryName() : fileName;
      if (lame::beWriteInfoTag(context, written.c_str()) != 0) {
        attempt([&] { throw PipelineError("Cannot write the MP3 header into \"" + fileName + "\"."); });
      }
    } else {
      lame::lame_close(context);
    }
  }
  if (file_) {
    // Only a whole file takes the final name; anything less is removed.
    if (inputExhausted_ && !firstError) {
      attempt([&] {
        file_->Commit(replaceExisting ? StagedFile::Replace::Allowed : StagedFile::Replace::Never);
        fileWritten_ = true;
      });
    } else {
      file_->Discard();
    }
    file_.reset();
  }
  inputExhausted_ = false;
  mp3Buffer_.reset();
  attempt([&] {
    if (AudioInput* input = Input()) input->Flush();
  });
  if (firstError) std::rethrow_exception(firstError);
}

void Mp3Output::ReleaseRunState() {
  if (encoder_ != nullptr) lame::lame_close(std::exchange(encoder_, nullptr));
  mp3Buffer_.reset();
  if (file_) {
    // Nothing was written yet; the error that stopped the run is the one to report.
    file_->Discard();
    file_.reset();
  }
}

}  // namespace engine
