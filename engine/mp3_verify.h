// Checking a finished MP3 before it takes its name: what was written is decoded again and
// compared with what the encoder was given, so a file the user keeps in place of the original
// is known to be whole. The checks, cheapest first:
//   - the ID3v2 tag at the start is byte for byte the one written, and TagLib reads it back
//     with every frame (the pictures are compared as bytes, not decoded);
//   - the audio's checksum (the CRC-16 the encoder keeps in its Info frame) matches the audio
//     bytes, so a changed byte anywhere in the audio is found even where a decoder would not
//     notice it;
//   - FFmpeg decodes every frame without an error, and the decoded length, after the encoder
//     delay and padding the Info frame names, equals the samples the encoder was given.
// Decoding only: nothing is resampled or converted, so the check costs a few percent of the
// encoding (bench/verify.sh measures it).
//
// Any thread; each call opens the file on its own.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/mp3_tags.h"

namespace engine {

struct Mp3Expectation {
  // Sample frames per channel given to the encoder.
  std::int64_t samplesPerChannel = 0;
  // Their rate; 0 or the MP3's own rate when the encoder did not resample. When it resampled,
  // the decoded length may differ from the converted count by a millisecond.
  int sampleRate = 0;
  // The ID3v2 tag written at the start of the file (size 0 when the file has none).
  WrittenTag tag;
  // Held while the tag is read back whole (ConversionRequest::tagGate); may be null.
  std::mutex* tagGate = nullptr;
};

// Decodes the MP3 at `path` and checks it against `expected`. nullopt when it is whole and right,
// else a short reason for the user: "the decoded length is 441000 samples, 441576 were encoded",
// "a decoding error at 0:12", "the audio differs from what was encoded (its checksum does not
// match)", "the tag does not read back: TALB differs".
std::optional<std::string> VerifyMp3(const std::string& path, const Mp3Expectation& expected);

// The same with the three facts given one by one.
inline std::optional<std::string> VerifyMp3(const std::string& path, std::int64_t samplesPerChannel,
                                            const WrittenTag& writtenTag) {
  return VerifyMp3(path, Mp3Expectation{samplesPerChannel, 0, writtenTag});
}

}  // namespace engine
