// Test support for encoded streams: a music-like source to encode, the signal-to-noise ratio of
// a decoded stream against its source, and the verdicts of independent checkers (mp3val, the
// FFmpeg command line).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Interleaved float PCM, -1 … 1: a few voices with vibrato and tremolo over noise, loudness moving
// between sections from near full scale to about -40 dB, and struck notes whose attacks make the
// encoder switch to short blocks. The same seed gives the same samples.
std::vector<float> MusicLikePcm(double seconds, int rate, int channels, std::uint32_t seed);

// 10·log10(signal energy / error energy) of `decoded` against `source` over sample frames
// [from, to), every channel; both interleaved with `channels`. +infinity when they are equal,
// NaN when the source is silent there.
double SnrDb(const std::vector<float>& source, const std::vector<float>& decoded, int channels, std::int64_t from,
             std::int64_t to);

// What mp3val finds wrong with the file: its WARNING and ERROR lines, except the one about the
// file having no tags (the encoder writes none).
std::vector<std::string> Mp3valProblems(const std::string& path);

// What `ffmpeg -v error` prints while decoding the whole file (empty for a clean stream).
std::string FfmpegDecodeErrors(const std::string& path);

}  // namespace testsupport
