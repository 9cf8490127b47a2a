// ReplayGain 2.0: the loudness of a track measured after EBU R128 (libebur128) on the PCM the
// encoder receives, in the same pass as the encoding, and the gain that brings it to −18 LUFS;
// an album's gain from the meters of its tracks. The peak is the true peak, the one `loudgain`
// reports and writes by default: the samples oversampled to at least 192 kHz (four times below
// 96 kHz, twice below 192 kHz) through a windowed-sinc interpolator of 49 taps, as libebur128
// does; computed here, in single precision over whole blocks, at about a quarter of
// libebur128's cost, which would otherwise add half the encoder's own work. A mono stream is
// measured as one channel, as `loudgain` measures a mono file.
//
// Memory stays flat however long the track: the meter keeps a histogram of its 400 ms blocks
// (about 20 KB), not the blocks themselves. A meter is used by one thread at a time (the output's
// worker while the track is encoded); a finished meter may be handed to another thread for the
// album's result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/mp3_tags.h"

namespace engine {

// The reference loudness of ReplayGain 2.0.
inline constexpr double kReplayGainReferenceLufs = -18.0;

// What a measurement gives: the gain to the reference (dB, negative for a loud track) and the
// largest true peak of any channel (1.0 is full scale; above it for a track that clips).
struct LoudnessResult {
  double loudnessLufs = 0.0;
  double gainDb = 0.0;
  double peak = 0.0;
};

class LoudnessMeter {
 public:
  // A meter for interleaved PCM of `channels` (1 or 2) at `sampleRate` Hz. Raises
  // std::invalid_argument for other channel counts or a rate outside 8 kHz … 768 kHz,
  // std::bad_alloc when the meter cannot be made.
  LoudnessMeter(int channels, int sampleRate);
  ~LoudnessMeter();
  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;
  LoudnessMeter(LoudnessMeter&& other) noexcept;
  LoudnessMeter& operator=(LoudnessMeter&& other) noexcept;

  // Adds `frames` sample frames (one sample per channel each): 16-bit, or float at ±1.0 full
  // scale, as the encoder receives them.
  void AddInt16(const std::int16_t* interleaved, std::size_t frames);
  void AddFloat(const float* interleaved, std::size_t frames);
  // Adds the bytes of one block of the pipeline (whole frames; a trailing part is ignored).
  void AddBlock(const void* data, std::size_t bytes, bool floatSamples);

  int Channels() const { return channels_; }
  int SampleRate() const { return sampleRate_; }
  std::int64_t Frames() const { return frames_; }

  // The track's result; nullopt while nothing could be measured (silence, or less than 400 ms):
  // such a track gets no ReplayGain frames.
  std::optional<LoudnessResult> Result() const;

 private:
  friend std::optional<LoudnessResult> AlbumLoudness(const std::vector<const LoudnessMeter*>& tracks);
  struct State;  // libebur128's meter
  class TruePeak;

  std::unique_ptr<State> state_;
  std::unique_ptr<TruePeak> truePeak_;
  int channels_ = 0;
  int sampleRate_ = 0;
  std::int64_t frames_ = 0;
};

// The album's result from the meters of its tracks (which tracks make an album, by album and album
// artist, the caller decides): the loudness of all their blocks together, and the largest track
// peak. nullopt when none could be measured. The meters stay unchanged.
std::optional<LoudnessResult> AlbumLoudness(const std::vector<const LoudnessMeter*>& tracks);

// "−6.33 dB" as the tag holds it: "-6.33 dB", two decimals, a point whatever the locale.
std::string GainText(double gainDb);
// "0.988553": six decimals.
std::string PeakText(double peak);

// The TXXX frames REPLAYGAIN_TRACK_GAIN and REPLAYGAIN_TRACK_PEAK of `track`, and
// REPLAYGAIN_ALBUM_GAIN and REPLAYGAIN_ALBUM_PEAK of `album` when given, for Mp3Tags::frames or
// for RewriteTagInCopy.
std::vector<Id3Frame> ReplayGainFrames(const std::optional<LoudnessResult>& track,
                                       const std::optional<LoudnessResult>& album = std::nullopt);

}  // namespace engine
