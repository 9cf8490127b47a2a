// Test helpers for code that reads media files: temporary folders, media generated with the
// ffmpeg command line, byte-level file helpers and simple signal measurements.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace media_fixtures {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Runs `ffmpeg -y ARGUMENTS OUTPUT` quietly; true when it succeeded and wrote OUTPUT.
bool Ffmpeg(const std::string& arguments, const std::string& output);

// "-f lavfi -i sine=...": a sine tone input for Ffmpeg().
std::string SineInput(int frequency, int rate, double seconds);

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// Random bytes from a fixed seed, so a failure can be reproduced.
std::vector<uint8_t> RandomBytes(std::size_t count, uint32_t seed);

// The bytes of an ASF file (WMA, WMV) with an empty Content Encryption Object added as the
// header's first child, header size and object count fixed up: a DRM-protected file as far as
// any reader can tell.
std::vector<uint8_t> WithAsfEncryptionObject(std::vector<uint8_t> asf);

// A canonical PCM WAV file (format tag 1, no channel mask) holding `samples`, interleaved
// signed 16-bit, `channels` per frame.
std::vector<uint8_t> PcmWav(const std::vector<int16_t>& samples, int channels, int rate);

// One channel of interleaved PCM (8-bit unsigned, 16-bit signed or, with `bits` 32, float) as
// values in -1 … 1 (float values as they are).
std::vector<double> Channel(const std::vector<uint8_t>& pcm, int bits, int channels, int channel);
// Frequency in Hz from upward zero crossings (with a little hysteresis against noise) of
// samples [begin, end).
double Frequency(const std::vector<double>& signal, int rate, std::size_t begin, std::size_t end);
// Root mean square of samples [begin, end).
double Rms(const std::vector<double>& signal, std::size_t begin, std::size_t end);

}  // namespace media_fixtures
