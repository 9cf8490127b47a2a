// The MP3 file output of the pipeline. During a run it pulls PCM blocks from its input on the
// worker (16-bit, or 32-bit float where the input has it; one or two channels), encodes them with
// LAME and writes the MP3 bytes after an ID3v2 tag (mp3_tags.h). When the input is exhausted it
// has the encoder flush, writes the ID3v1 tag and the Info/Xing header, and only then does the file appear as fileName (see
// staged_file.h): a run that is stopped, fails or is cut off by the program's end removes what
// it wrote, so fileName never names an incomplete MP3.
//
// Threads: properties are set and Run is called on the main thread; Prepare, DoOutput and Done
// run on the output's worker.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/audio_pipeline.h"
#include "engine/lame_library.h"
#include "engine/mp3_tags.h"
#include "engine/staged_file.h"

namespace engine {

// The constant bit rates LAME offers, in kbps.
enum class Mp3BitRate {
  Kbps8, Kbps16, Kbps24, Kbps32, Kbps40, Kbps48, Kbps56, Kbps64, Kbps80, Kbps96, Kbps112, Kbps128,
  Kbps144, Kbps160, Kbps192, Kbps224, Kbps256, Kbps320
};
// The sample rate of the MP3: the input's own, or one LAME resamples to.
enum class Mp3SampleRate { Source, Hz32000, Hz44100, Hz48000 };
// LAME's channel modes, with LAME's numbers.
enum class Mp3ChannelMode { Stereo = 0, JointStereo = 1, DualChannel = 2, Mono = 3 };

// The kbps in the bit rate's name (Mp3BitRate::Kbps8 gives 8).
int BitRateKbps(Mp3BitRate rate);
// The rate in Hz; 0 for Mp3SampleRate::Source, which leaves the choice to the encoder.
int SampleRateHz(Mp3SampleRate rate);

class Mp3Output : public FileOutput {
 public:
  // The bytes pulled from the input per block, and the encoder's output buffer: enough for the
  // frames of 8192 samples per channel plus the encoder's own reserve.
  static constexpr int kBlockSize = 16384;
  static constexpr int kOutBufferSize = 17440;

  // Loads the LAME library; raises PipelineError with the loader's message when it is missing.
  explicit Mp3Output(Component* owner);
  ~Mp3Output() override;

  Mp3BitRate bitRate = Mp3BitRate::Kbps128;
  int quality = 5;        // LAME's algorithm quality: 0 best … 9 fastest
  Mp3SampleRate sampleRate = Mp3SampleRate::Source;
  Mp3ChannelMode channelMode = Mp3ChannelMode::Stereo;
  bool crc = false;
  bool copyright = false;
  bool original = true;
  bool writeVbrHeader = false;
  bool vbr = false;
  int vbrQuality = 5;     // LAME's VBR quality: 0 best … 9 smallest
  int vbrMinBitrate = 128;
  int vbrMaxBitrate = 192;
  // The tags: all of them in the ID3v2 tag at the start, what fits in the ID3v1 tag at the end.
  Mp3Tags tags;
  // Whether a finished file may replace a file (or link) of the same name that exists by then;
  // without it such a run ends in an error ("File exists") and the other file stays.
  bool replaceExisting = true;
  // Whether the last run ended with its file complete under fileName (false while a run goes
  // on, and after a stopped or failed one). Read it after onDone.
  bool FileWritten() const { return fileWritten_.load(); }

 protected:
  bool DoOutput(bool abort) override;
  void Done() override;
  void Prepare() override;

 private:
  void ConfigureEncoder();
  void ReleaseRunState();

  alignas(float) std::array<std::uint8_t, kBlockSize> buffer_{};
  lame::lame_t encoder_ = nullptr;
  std::unique_ptr<unsigned char[]> mp3Buffer_;
  std::unique_ptr<StagedFile> file_;  // the file the output creates itself
  bool inputExhausted_ = false;  // the input was exhausted: the file may be committed
  std::atomic<bool> fileWritten_{false};
};

}  // namespace engine
