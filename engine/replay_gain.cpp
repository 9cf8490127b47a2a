#include "engine/replay_gain.h"

#include <ebur128.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

namespace engine {

namespace {

// Integrated loudness only; the histogram keeps memory flat however long the track. The true
// peak is measured by TruePeak below.
constexpr int kMode = EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM;

// The interpolation filter: a Hann-windowed sinc of 49 taps at the oversampling factor. Its taps
// fall into `factor` phases; phase 0 holds the centre tap and the sinc's zeros, so it gives the
// samples themselves (the sample peak), and only the other phases are computed.
constexpr int kTaps = 49;
// Samples per channel interpolated at a time: the phase's output stays in the first-level cache.
constexpr std::size_t kTile = 512;

std::optional<LoudnessResult> ResultOf(double loudness, double peak) {
  // -inf: no block was above the absolute gate (silence, or shorter than one block).
  if (!std::isfinite(loudness)) return std::nullopt;
  return LoudnessResult{loudness, kReplayGainReferenceLufs - loudness, peak};
}

std::string Formatted(const char* format, double value) {
  // snprintf follows the C locale, which the program never changes: the decimal point is ".".
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

// The largest absolute value of the signal between its samples as well as at them.
class LoudnessMeter::TruePeak {
 public:
  TruePeak(int channels, int sampleRate)
      : channels_(channels), factor_(sampleRate < 96000 ? 4 : sampleRate < 192000 ? 2 : 1) {
    const double centre = (kTaps - 1) / 2.0;
    phases_.resize(static_cast<std::size_t>(factor_));
    for (int tap = 0; tap < kTaps; ++tap) {
      const double x = (tap - centre) / factor_;
      const double sinc = x == 0.0 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
      const double hann = 0.5 * (1.0 - std::cos(2.0 * M_PI * tap / (kTaps - 1)));
      phases_[static_cast<std::size_t>(tap % factor_)].push_back(static_cast<float>(sinc * hann));
    }
    for (std::size_t phase = 1; phase < phases_.size(); ++phase) {
      history_ = std::max(history_, phases_[phase].size() - 1);
    }
    for (auto& past : past_) past.assign(history_, 0.0f);
    signal_.resize(history_ + kTile);
    output_.resize(kTile);
  }

  template <typename Sample>
  void Add(const Sample* interleaved, std::size_t frames, float scale) {
    for (std::size_t start = 0; start < frames; start += kTile) {
      const std::size_t count = std::min(kTile, frames - start);
      for (int channel = 0; channel < channels_; ++channel) {
        AddChannel(interleaved + start * static_cast<std::size_t>(channels_), count, channel, scale);
      }
    }
  }

  double Peak() const { return peak_; }

 private:
  template <typename Sample>
  void AddChannel(const Sample* interleaved, std::size_t count, int channel, float scale) {
    // The channel's samples after the ones kept from before, which the filter still reaches.
    std::vector<float>& past = past_[static_cast<std::size_t>(channel)];
    float* signal = signal_.data();
    std::copy(past.begin(), past.end(), signal);
    float peak = peak_;
    for (std::size_t i = 0; i < count; ++i) {
      const float value = static_cast<float>(interleaved[i * static_cast<std::size_t>(channels_) + static_cast<std::size_t>(channel)]) * scale;
      signal[history_ + i] = value;
      peak = std::max(peak, std::fabs(value));
    }
    for (std::size_t phase = 1; phase < phases_.size(); ++phase) {
      const float* taps = phases_[phase].data();
      switch (phases_[phase].size()) {
        case 12: peak = std::max(peak, PhasePeak<12>(taps, signal + history_, count)); break;
        case 24: peak = std::max(peak, PhasePeak<24>(taps, signal + history_, count)); break;
        default: peak = std::max(peak, PhasePeak(taps, phases_[phase].size(), signal + history_, count)); break;
      }
    }
    peak_ = peak;
    std::copy(signal + count, signal + count + history_, past.begin());
  }

  // Four samples at once, in the vector registers every x86-64 and ARM64 processor has.
  using Lanes = float __attribute__((vector_size(16)));
  static Lanes Load(const float* at) {
    Lanes lanes;
    std::memcpy(&lanes, at, sizeof lanes);
    return lanes;
  }
  static Lanes Magnitude(Lanes lanes) { return lanes < 0 ? -lanes : lanes; }
  static Lanes Larger(Lanes a, Lanes b) { return a > b ? a : b; }

  // The largest absolute output of one phase over `count` samples; `in` has the filter's reach
  // of earlier samples before it. With the tap count known, eight outputs are summed at once in
  // registers: a quarter of the work of summing them one by one.
  template <std::size_t kCount>
  static float PhasePeak(const float* taps, const float* in, std::size_t count) {
    Lanes high{};
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
      Lanes first{}, second{};
      for (std::size_t tap = 0; tap < kCount; ++tap) {
        first += taps[tap] * Load(in + i - tap);
        second += taps[tap] * Load(in + i + 4 - tap);
      }
      high = Larger(high, Larger(Magnitude(first), Magnitude(second)));
    }
    float peak = std::max(std::max(high[0], high[1]), std::max(high[2], high[3]));
    for (; i < count; ++i) {
      float sum = 0.0f;
      for (std::size_t tap = 0; tap < kCount; ++tap) sum += taps[tap] * in[i - tap];
      peak = std::max(peak, std::fabs(sum));
    }
    return peak;
  }

  float PhasePeak(const float* taps, std::size_t tapCount, const float* in, std::size_t count) {
    float* out = output_.data();
    std::fill(out, out + count, 0.0f);
    for (std::size_t tap = 0; tap < tapCount; ++tap) {
      const float weight = taps[tap];
      for (std::size_t i = 0; i < count; ++i) out[i] += weight * in[i - tap];
    }
    float peak = 0.0f;
    for (std::size_t i = 0; i < count; ++i) peak = std::max(peak, std::fabs(out[i]));
    return peak;
  }

  int channels_;
  int factor_;
  std::vector<std::vector<float>> phases_;
  std::size_t history_ = 0;
  std::array<std::vector<float>, 2> past_;
  std::vector<float> signal_;
  std::vector<float> output_;
  float peak_ = 0.0f;
};

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
  truePeak_ = std::make_unique<TruePeak>(channels, sampleRate);
}

LoudnessMeter::~LoudnessMeter() = default;
LoudnessMeter::LoudnessMeter(LoudnessMeter&& other) noexcept = default;
LoudnessMeter& LoudnessMeter::operator=(LoudnessMeter&& other) noexcept = default;

void LoudnessMeter::AddInt16(const std::int16_t* interleaved, std::size_t frames) {
  if (state_ == nullptr || frames == 0) return;
  // The only failure is a block larger than the meter's buffer could ever need: none here.
  ebur128_add_frames_short(state_->meter, interleaved, frames);
  truePeak_->Add(interleaved, frames, 1.0f / 32768.0f);
  frames_ += static_cast<std::int64_t>(frames);
}

void LoudnessMeter::AddFloat(const float* interleaved, std::size_t frames) {
  if (state_ == nullptr || frames == 0) return;
  ebur128_add_frames_float(state_->meter, interleaved, frames);
  truePeak_->Add(interleaved, frames, 1.0f);
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
  return ResultOf(loudness, truePeak_->Peak());
}

std::optional<LoudnessResult> AlbumLoudness(const std::vector<const LoudnessMeter*>& tracks) {
  std::vector<ebur128_state*> states;
  double peak = 0.0;
  for (const LoudnessMeter* track : tracks) {
    if (track == nullptr || track->state_ == nullptr) continue;
    states.push_back(track->state_->meter);
    peak = std::max(peak, track->truePeak_->Peak());
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
