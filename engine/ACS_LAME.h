// TMP3Out: the MP3 file output of the pipeline. During a run it pulls 16-bit PCM blocks from its
// input on the worker, encodes them with LAME and writes the MP3 bytes; the tag texts go into an
// ID3v2 tag at the start. When the input is exhausted it has the encoder flush, writes the ID3v1
// tag and the Info/Xing header, and only then does the file appear as FileName (see
// staged_file.h): a run that is stopped, fails or is cut off by the program's end removes what
// it wrote, so FileName never names an incomplete MP3.
//
// Threads: properties are set and Run is called on the main thread; Prepare runs there too.
// DoOutput and Done run on the output's worker.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/ACS_Classes.h"
#include "engine/lame.h"
#include "engine/staged_file.h"

namespace engine {

enum TMP3BitRate {
  br8, br16, br24, br32, br40, br48, br56, br64, br80, br96, br112, br128, br144, br160, br192,
  br224, br256, br320
};
enum TMP3Quality { ql0, ql1, ql2, ql3, ql4, ql5, ql6, ql7, ql8, ql9 };
enum TMP3SampleRate { srDefault, sr32kHz, sr41kHz, sr48kHz };
enum TMP3Mode { STEREO, JOINT_STEREO, DUAL_CHANNEL, MONO };

// The kbps in the bit rate's name (br8 gives 8).
int BitRateKbps(TMP3BitRate rate);
// The rate in Hz; 0 for srDefault, which leaves the choice to the encoder.
int SampleRateHz(TMP3SampleRate rate);

class TMP3Out : public TACSFileOut {
 public:
  // The bytes pulled from the input per block, and the encoder's output buffer: enough for the
  // frames of 8192 samples per channel plus the encoder's own reserve.
  static constexpr int kBlockSize = 16384;
  static constexpr int kOutBufferSize = 17440;

  // Loads the LAME library; raises EACSException with the loader's message when it is missing.
  explicit TMP3Out(TComponent* owner);
  ~TMP3Out() override;

  TMP3BitRate BitRate = br128;
  TMP3Quality Quality = ql5;
  TMP3SampleRate SampleRate = srDefault;
  TMP3Mode Mode = STEREO;
  bool CRC = false;
  bool Copyright = false;
  bool Original = true;
  bool WriteVBRHeader = false;
  bool EnableVBR = false;
  TMP3Quality VBRQuality = ql5;
  int VBRMinBitrate = 128;
  int VBRMaxBitrate = 192;
  std::string Id3TagTitle;
  std::string Id3TagArtist;
  std::string Id3TagAlbum;
  std::string Id3TagYear;
  std::string Id3TagTrack;
  std::string Id3TagComment;
  std::string Id3TagGenre;
  // Whether a finished file may replace a file (or link) of the same name that exists by then;
  // without it such a run ends in an error ("File exists") and the other file stays.
  bool ReplaceExisting = true;
  // Whether the last run ended with its file complete under FileName (false while a run goes
  // on, and after a stopped or failed one). Read it after OnDone.
  bool FileWritten() const { return FFileWritten.load(); }

 protected:
  bool DoOutput(bool abort) override;
  void Done() override;
  void Prepare() override;

 private:
  void ConfigureEncoder();
  void ReleaseRunState();

  alignas(std::int16_t) std::array<std::uint8_t, kBlockSize> FBuffer{};
  lame::lame_t FContext = nullptr;
  std::unique_ptr<unsigned char[]> FOutBuffer;
  std::unique_ptr<StagedFile> FFile;  // the file the output creates itself
  bool FComplete = false;             // the input was exhausted: the file may be committed
  std::atomic<bool> FFileWritten{false};
};

}  // namespace engine
