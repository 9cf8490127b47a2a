#include "platform/mmstream/tests/media_fixtures.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace media_fixtures {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tavisto-media-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create " + pattern);
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

bool Ffmpeg(const std::string& arguments, const std::string& output) {
  const std::string command =
      "ffmpeg -nostdin -hide_banner -loglevel error -y " + arguments + " '" + output + "'";
  return std::system(command.c_str()) == 0 && std::filesystem::exists(output);
}

std::string SineInput(int frequency, int rate, double seconds) {
  return "-f lavfi -i sine=frequency=" + std::to_string(frequency) + ":sample_rate=" +
         std::to_string(rate) + ":duration=" + std::to_string(seconds);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> RandomBytes(std::size_t count, uint32_t seed) {
  std::mt19937 generator(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(generator());
  return bytes;
}

namespace {
void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void PutTag(std::vector<uint8_t>& out, const char* tag) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}
}  // namespace

std::vector<uint8_t> PcmWav(const std::vector<int16_t>& samples, int channels, int rate) {
  const auto data_bytes = static_cast<uint32_t>(samples.size() * 2);
  const auto block = static_cast<uint32_t>(channels * 2);
  std::vector<uint8_t> out;
  PutTag(out, "RIFF");
  Put32(out, 36 + data_bytes);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  Put32(out, 16);
  Put16(out, 1);  // PCM, so no channel mask names the channels
  Put16(out, static_cast<uint32_t>(channels));
  Put32(out, static_cast<uint32_t>(rate));
  Put32(out, static_cast<uint32_t>(rate) * block);
  Put16(out, block);
  Put16(out, 16);
  PutTag(out, "data");
  Put32(out, data_bytes);
  for (int16_t s : samples) Put16(out, static_cast<uint16_t>(s));
  return out;
}

std::vector<double> Channel(const std::vector<uint8_t>& pcm, int bits, int channels, int channel) {
  std::vector<double> out;
  const std::size_t sample_bytes = static_cast<std::size_t>(bits / 8);
  const std::size_t frame = sample_bytes * static_cast<std::size_t>(channels);
  for (std::size_t at = channel * sample_bytes; at + sample_bytes <= pcm.size(); at += frame) {
    if (bits == 32) {
      float value = 0;
      std::memcpy(&value, &pcm[at], sizeof value);
      out.push_back(value);
    } else if (bits == 8) {
      out.push_back((pcm[at] - 128) / 128.0);
    } else {
      out.push_back(static_cast<int16_t>(pcm[at] | (pcm[at + 1] << 8)) / 32768.0);
    }
  }
  return out;
}

double Frequency(const std::vector<double>& signal, int rate, std::size_t begin, std::size_t end) {
  constexpr double kHysteresis = 0.02;
  end = std::min(end, signal.size());
  if (begin >= end) return 0.0;
  int crossings = 0;
  bool below = signal[begin] < -kHysteresis;
  for (std::size_t i = begin; i < end; ++i) {
    if (below && signal[i] > kHysteresis) {
      ++crossings;
      below = false;
    } else if (signal[i] < -kHysteresis) {
      below = true;
    }
  }
  return crossings * static_cast<double>(rate) / static_cast<double>(end - begin);
}

double Rms(const std::vector<double>& signal, std::size_t begin, std::size_t end) {
  end = std::min(end, signal.size());
  if (begin >= end) return 0.0;
  double sum = 0.0;
  for (std::size_t i = begin; i < end; ++i) sum += signal[i] * signal[i];
  return std::sqrt(sum / static_cast<double>(end - begin));
}

std::vector<uint8_t> WithAsfEncryptionObject(std::vector<uint8_t> asf) {
  constexpr uint8_t kContentEncryption[16] = {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11,
                                              0xB4, 0xB7, 0x00, 0xC0, 0x4F, 0xB3, 0xA5, 0xAA};
  const auto le64 = [&asf](std::size_t at) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = value << 8 | asf[at + static_cast<std::size_t>(i)];
    return value;
  };
  const auto putLe64 = [](std::vector<uint8_t>& bytes, std::size_t at, uint64_t value) {
    for (int i = 0; i < 8; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
  };
  if (asf.size() < 30) return asf;
  std::vector<uint8_t> object(kContentEncryption, kContentEncryption + 16);
  object.resize(24 + 16, 0);  // four empty length-prefixed fields
  putLe64(object, 16, object.size());
  const uint64_t headerSize = le64(16);
  asf.insert(asf.begin() + 30, object.begin(), object.end());
  putLe64(asf, 16, headerSize + object.size());
  asf[24] = static_cast<uint8_t>(asf[24] + 1);  // one more child object
  return asf;
}

}  // namespace media_fixtures
