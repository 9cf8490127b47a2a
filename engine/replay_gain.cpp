#include "engine/replay_gain.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <stdexcept>

namespace engine {

namespace {

// Integrated loudness, true peak; the histogram keeps memory flat however long the track. The
// peak mode makes the meter oversample (the costly part), which is what `loudgain` reports.
constexpr int kMode = EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_HISTOGRAM;

std::optional<LoudnessResult> ResultOf(double loudness, double peak) {
  // -inf: no block was above the absolute gate (silence, or shorter than one block).
  if (!std::isfinite(loudness)) return std::nullopt;
  return LoudnessResult{loudness, kReplayGainReferenceLufs - loudness, peak};
}

double TruePeak(ebur128_state* state, int channels) {
  double peak = 0.0;
  for (int channel = 0; channel < channels; ++channel) {
    double value = 0.0;
    if (ebur128_true_peak(state, static_cast<unsigned>(channel), &value) == EBUR128_SUCCESS) peak = std::max(peak, value);
  }
  return peak;
}

std::string Formatted(const char* format, double value) {
  // snprintf follows the C locale, which the program never changes: the decimal point is ".".
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

struct LoudnessMeter::State {
  explicit State(ebur128_state* made) : meter(made) {}
  ~State() { ebur128_destroy(&meter); }
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  ebur128_state* meter;
};

LoudnessMeter::LoudnessMeter(int channels, int sampleRate) : channels_(channels), sampleRate_(sampleRate) {
  if (channels < 1 || channels > 2) throw std::invalid_argument("loudness meter: 1 or 2 channels");
  if (sampleRate < 8000 || sampleRate > 768000) throw std::invalid_argument("loudness meter: sample rate");
  ebur128_state* meter = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate), kMode);
  if (meter == nullptr) throw std::bad_alloc();
  state_ = std::make_unique<State>(meter);
}

LoudnessMeter::~LoudnessMeter() = default;
LoudnessMeter::LoudnessMeter(LoudnessMeter&& other) noexcept = default;
LoudnessMeter& LoudnessMeter::operator=(LoudnessMeter&& other) noexcept = default;

void LoudnessMeter::AddInt16(const std::int16_t* interleaved, std::size_t frames) {
  if (state_ == nullptr || frames == 0) return;
  // The only failure is a block larger than the meter's buffer could ever need: none here.
  ebur128_add_frames_short(state_->meter, interleaved, frames);
  frames_ += static_cast<std::int64_t>(frames);
}

void LoudnessMeter::AddFloat(const float* interleaved, std::size_t frames) {
  if (state_ == nullptr || frames == 0) return;
  ebur128_add_frames_float(state_->meter, interleaved, frames);
  frames_ += static_cast<std::int64_t>(frames);
}

void LoudnessMeter::AddBlock(const void* data, std::size_t bytes, bool floatSamples) {
  const std::size_t frameBytes = static_cast<std::size_t>(channels_) * (floatSamples ? sizeof(float) : sizeof(std::int16_t));
  if (frameBytes == 0) return;
  if (floatSamples) {
    AddFloat(static_cast<const float*>(data), bytes / frameBytes);
  } else {
    AddInt16(static_cast<const std::int16_t*>(data), bytes / frameBytes);
  }
}

std::optional<LoudnessResult> LoudnessMeter::Result() const {
  if (state_ == nullptr) return std::nullopt;
  double loudness = 0.0;
  if (ebur128_loudness_global(state_->meter, &loudness) != EBUR128_SUCCESS) return std::nullopt;
  return ResultOf(loudness, TruePeak(state_->meter, channels_));
}

std::optional<LoudnessResult> AlbumLoudness(const std::vector<const LoudnessMeter*>& tracks) {
  std::vector<ebur128_state*> states;
  double peak = 0.0;
  for (const LoudnessMeter* track : tracks) {
    if (track == nullptr || track->state_ == nullptr) continue;
    states.push_back(track->state_->meter);
    peak = std::max(peak, TruePeak(track->state_->meter, track->channels_));
  }
  if (states.empty()) return std::nullopt;
  double loudness = 0.0;
  // Reads the meters' histograms only.
  if (ebur128_loudness_global_multiple(states.data(), states.size(), &loudness) != EBUR128_SUCCESS) return std::nullopt;
  return ResultOf(loudness, peak);
}

std::string GainText(double gainDb) {
  std::string text = Formatted("%.2f dB", gainDb);
  if (text == "-0.00 dB") text = "0.00 dB";
  return text;
}

std::string PeakText(double peak) { return Formatted("%.6f", peak); }

std::vector<Id3Frame> ReplayGainFrames(const std::optional<LoudnessResult>& track,
                                       const std::optional<LoudnessResult>& album) {
  std::vector<Id3Frame> frames;
  if (track) {
    frames.push_back(Id3Frame::UserText("REPLAYGAIN_TRACK_GAIN", {GainText(track->gainDb)}));
    frames.push_back(Id3Frame::UserText("REPLAYGAIN_TRACK_PEAK", {PeakText(track->peak)}));
  }
  if (album) {
    frames.push_back(Id3Frame::UserText("REPLAYGAIN_ALBUM_GAIN", {GainText(album->gainDb)}));
    frames.push_back(Id3Frame::UserText("REPLAYGAIN_ALBUM_PEAK", {PeakText(album->peak)}));
  }
  return frames;
}

}  // namespace engine
