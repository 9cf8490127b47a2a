#include "stream_checks.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "tag_readers.h"

namespace testsupport {

namespace {

// A small generator of its own, so the source is the same on every library.
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
  double Next() {  // -1 … 1
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<double>(state_ >> 8) / 8388608.0 - 1.0;
  }

 private:
  std::uint32_t state_;
};

}  // namespace

std::vector<float> MusicLikePcm(double seconds, int rate, int channels, std::uint32_t seed) {
  const auto frames = static_cast<std::size_t>(seconds * rate);
  std::vector<float> pcm(frames * static_cast<std::size_t>(channels));
  Noise noise(seed);
  constexpr double kPi = 3.14159265358979323846;
  const double notes[] = {196.0, 261.6, 329.6, 523.3, 1046.5, 2637.0};
  // Section levels in dB, 1.7 s each, crossfaded over 50 ms.
  const double levels[] = {-6, -18, -3, -30, -12, -40, -1, -24};
  constexpr double kSection = 1.7;
  double pink = 0.0;
  double strike = 0.0;
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const auto section = static_cast<std::size_t>(t / kSection);
    const double into = t - static_cast<double>(section) * kSection;
    double level = levels[section % 8];
    if (into < 0.05 && section > 0) level = levels[(section - 1) % 8] + (level - levels[(section - 1) % 8]) * into / 0.05;
    const double gain = std::pow(10.0, level / 20.0);
    // A struck note every 0.61 s: a burst of noise decaying in 80 ms.
    if (std::fmod(t, 0.61) < 1.0 / rate) strike = 1.0;
    strike *= std::exp(-1.0 / (0.08 * rate));
    pink = 0.97 * pink + 0.03 * noise.Next();
    for (int channel = 0; channel < channels; ++channel) {
      double value = 0.0;
      for (int voice = 0; voice < 6; ++voice) {
        const double vibrato = 1.5 * std::sin(2 * kPi * (4.0 + voice * 0.7) * t);
        const double tremolo = 0.6 + 0.4 * std::sin(2 * kPi * (0.3 + 0.2 * voice + 0.1 * channel) * t);
        const double pan = (voice + channel) % 2 == 0 ? 1.0 : 0.6;
        value += 0.12 * pan * tremolo * std::sin(2 * kPi * notes[voice] * t + vibrato);
      }
      value += 0.15 * pink + 0.02 * noise.Next() + 0.35 * strike * noise.Next();
      pcm[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel)] =
          static_cast<float>(std::clamp(value * gain, -1.0, 1.0));
    }
  }
  return pcm;
}

double SnrDb(const std::vector<float>& source, const std::vector<float>& decoded, int channels, std::int64_t from,
             std::int64_t to) {
  double signal = 0.0;
  double error = 0.0;
  for (std::int64_t i = from * channels; i < to * channels; ++i) {
    const auto index = static_cast<std::size_t>(i);
    if (index >= source.size() || index >= decoded.size()) break;
    signal += static_cast<double>(source[index]) * source[index];
    const double difference = static_cast<double>(source[index]) - decoded[index];
    error += difference * difference;
  }
  if (signal <= 0.0) return std::numeric_limits<double>::quiet_NaN();
  if (error <= 0.0) return std::numeric_limits<double>::infinity();
  return 10.0 * std::log10(signal / error);
}

std::vector<std::string> Mp3valProblems(const std::string& path) {
  const std::string output = CommandOutput("mp3val '" + path + "' 2>&1");
  std::vector<std::string> problems;
  if (output.find("Done!") == std::string::npos) problems.push_back("mp3val did not run: " + output);
  for (std::size_t at = 0, end; at < output.size(); at = end + 1) {
    end = std::min(output.find('\n', at), output.size());
    const std::string line = output.substr(at, end - at);
    if ((line.rfind("WARNING", 0) == 0 || line.rfind("ERROR", 0) == 0) &&
        line.find("No supported tags in the file") == std::string::npos)
      problems.push_back(line);
  }
  return problems;
}

std::string FfmpegDecodeErrors(const std::string& path) {
  return CommandOutput("ffmpeg -nostdin -v error -i '" + path + "' -f null - 2>&1");
}

}  // namespace testsupport
