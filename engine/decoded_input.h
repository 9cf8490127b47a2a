// The pipeline input that decodes a media file for the MP3 encoder. It owns one AudioFileReader,
// created when the file is first opened and released when it is last closed. It delivers what
// costs the encoder least: the decoder's own floating-point samples where it has them (most lossy
// codecs), 16-bit ones for integer sources (PCM, FLAC; 8-bit centred and widened), one channel
// for a mono source and two for every other, at deliveryRate (resampled by FFmpeg, so the encoder
// does not resample itself).
//
// Threads: a conversion opens the file on its output's worker (Init, from the output's Prepare)
// and reads it there (GetData). Other threads may read the durations at any time: they are
// atomics the worker publishes. Reader() belongs to the thread that opened the file.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/audio_pipeline.h"
#include "engine/audio_file_reader.h"

namespace engine {

class DecodedInput : public FileInput {
 public:
  static constexpr int kBlockBufferSize = 32768;

  explicit DecodedInput(Component* owner);
  ~DecodedInput() override;

  int GetData(void* buffer, int bufferSize) override;
  void Init() override;
  void Flush() override;
  void OpenFile() override;
  void CloseFile() override;
  void Seek(std::int64_t sampleNumber) override;

  // The rate to deliver at, the MP3's (Hz); 0: the source's own. Set before the file opens.
  int deliveryRate = 0;

  // Whether GetData delivers 32-bit float samples (full scale ±1.0) rather than 16-bit ones;
  // known once the file is open.
  bool FloatSamples() const override { return floatSamples_; }
  // The open reader, or null.
  AudioFileReader* Reader() const { return reader_.get(); }
  // 100-ns units per byte of delivered PCM (0 when the source is shorter than a second).
  std::int64_t TimePerByte() const { return timePerByte_; }
  // The playing time the source declares (100 ns; 0 before the file is open or when it does not
  // say), and how much of it the run so far has decoded. Both outlive the reader, so they can be
  // compared after a run; any thread.
  std::int64_t DeclaredDuration() const { return declaredDuration_.load(std::memory_order_relaxed); }
  std::int64_t DecodedDuration() const { return decodedDuration_.load(std::memory_order_relaxed); }

 private:
  // Reads one block into the block buffer; returns its byte count.
  int ReadBlock();

  std::unique_ptr<std::uint8_t[]> block_;
  std::int64_t timePerByte_ = 0;
  bool floatSamples_ = false;
  std::atomic<std::int64_t> declaredDuration_{0};
  std::atomic<std::int64_t> decodedDuration_{0};
  std::unique_ptr<AudioFileReader> reader_;
};

// What to tell the user when a conversion that ended normally decoded less than its source
// declares (a file cut short, or damaged past some point): nothing when the shortfall is within
// a second or 2 % of the declared time, which containers often state only roughly.
std::optional<std::string> ShortDecodeWarning(std::int64_t declared, std::int64_t decoded);

// The start-up check of the decoding layer: returns the message to show when media files cannot
// be decoded (FFmpeg lacks the Windows Media Audio decoder), or nothing.
std::optional<std::string> StartDecoding();
// Makes every media file being read give up at its next read, for good: for a program that was
// told to stop. Safe to call from a signal handler.
void InterruptDecoding();
// The program's end of decoding, paired with StartDecoding; the layer holds nothing between the
// two, so it has nothing to release.
void StopDecoding();

}  // namespace engine
