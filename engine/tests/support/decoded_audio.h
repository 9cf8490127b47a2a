// Test support: decodes a media file back with FFmpeg so tests can check what was produced by
// its sound (rate, channels, duration, frequency) and its tags, never by its size; and reads
// the MP3 headers and tags from its bytes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/mmstream/tests/media_fixtures.h"

namespace testsupport {

using media_fixtures::ReadBytes;
using media_fixtures::TempDir;

struct DecodedAudio {
  bool ok = false;
  std::string error;
  std::string codec;                  // e.g. "mp3"
  int sampleRate = 0;
  int channels = 0;
  std::int64_t bitRate = 0;           // as the container reports it, bits per second
  std::vector<float> samples;         // interleaved, -1..1
  std::map<std::string, std::string> tags;  // container metadata, lower-case keys

  std::int64_t frames() const { return channels > 0 ? static_cast<std::int64_t>(samples.size()) / channels : 0; }
  double seconds() const { return sampleRate > 0 ? static_cast<double>(frames()) / sampleRate : 0.0; }
  // One channel's samples.
  std::vector<double> Channel(int channel) const;
  // Frequency of a channel from its zero crossings, over the middle of the signal (the
  // encoder's start-up and end are left out).
  double DominantFrequency(int channel = 0) const;
  // Root mean square of a channel over the same middle part.
  double Rms(int channel = 0) const;
};

DecodedAudio DecodeAudioFile(const std::string& path);

// The fields of the 128-byte ID3v1 tag at the end of the bytes; `present` false when there is none.
struct Id3v1Fields {
  bool present = false;
  std::string title, artist, album, year, comment;
  int track = 0;  // 0 when the tag is plain ID3v1 (no v1.1 track byte)
  int genre = 255;
};
Id3v1Fields ReadId3v1(const std::vector<std::uint8_t>& bytes);

// The Xing/Info tag of the first frame: `present`, its name ("Xing" or "Info") and frame count.
struct XingTag {
  bool present = false;
  std::string name;
  std::int64_t frames = -1;
};
XingTag ReadXingTag(const std::vector<std::uint8_t>& bytes);

// Counts the MPEG audio frames by walking frame headers from the first one (after any ID3v2
// tag) up to the ID3v1 tag, and reports whether the walk was clean.
struct FrameWalk {
  std::int64_t frames = 0;
  bool clean = false;
  int firstBitrateKbps = 0;
  std::vector<int> bitrates;  // kbps of every frame walked
};
FrameWalk WalkFrames(const std::vector<std::uint8_t>& bytes);

}  // namespace testsupport
