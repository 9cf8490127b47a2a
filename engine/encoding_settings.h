// What an MP3 is encoded with, and every choice the program offers for it. This is the one
// table of those facts: the wizard, the main window's information panel, the settings store,
// tavisto-convert and the encoder all read it, so a rate or a mode exists here or nowhere.
// Constant data and pure functions; any thread.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace engine {

// The bit rates offered for a constant bit rate and as the limits of a variable one, kbps.
inline constexpr std::array<int, 18> kBitRates = {8,  16,  24,  32,  40,  48,  56,  64,  80,
                                                  96, 112, 128, 144, 160, 192, 224, 256, 320};

// The sample rates an MP3 can be made at, Hz.
inline constexpr std::array<int, 3> kSampleRates = {32000, 44100, 48000};

// The channel modes, numbered as the settings file has always stored them ("AudioChannels")
// and as the wizard lists them.
enum class ChannelMode { DualChannel = 0, Stereo = 1, JointStereo = 2, Mono = 3 };
inline constexpr std::array<ChannelMode, 4> kChannelModes = {ChannelMode::DualChannel, ChannelMode::Stereo,
                                                             ChannelMode::JointStereo, ChannelMode::Mono};

// The variable-bit-rate qualities LAME users know as -V 0 … -V 9: 0 is the best, 9 the smallest.
inline constexpr int kBestVbrQuality = 0;
inline constexpr int kSmallestVbrQuality = 9;

// How many files a run converts at once at most.
inline constexpr int kMostJobs = 64;

// The extension of every file the program writes.
inline constexpr std::string_view kMp3Extension = ".mp3";

struct EncodingSettings {
  int bitrate = 192;  // kbps, one of kBitRates: the constant bit rate
  bool vbr = false;   // a variable bit rate instead
  int vbrQuality = 2;
  // The limits of a variable bit rate, kbps, each one of kBitRates; 0 leaves that side to the
  // encoder (the whole range the format allows at the sample rate).
  int vbrMinBitrate = 128;
  int vbrMaxBitrate = 256;
  ChannelMode channelMode = ChannelMode::JointStereo;
  int sampleRate = 44100;  // Hz, one of kSampleRates

  bool operator==(const EncodingSettings&) const = default;
};

// The settings a new task or a command line starts from.
inline constexpr EncodingSettings kDefaultEncoding{};

bool IsOfferedBitRate(int kbps);
bool IsOfferedSampleRate(int hz);
bool IsVbrQuality(int quality);

// The channel mode with that number, or nothing for a number that names none.
std::optional<ChannelMode> ChannelModeOf(int number);
inline constexpr int NumberOf(ChannelMode mode) { return static_cast<int>(mode); }

// The mode a source is best encoded in: one channel stays one (an MP3 that doubles a mono
// signal only costs bits), every other keeps `preferred`.
ChannelMode ModeForSource(int sourceChannels, ChannelMode preferred);

// Settings as the encoder can take them: a rate that is not offered becomes the nearest offered
// one, a VBR quality outside 0 … 9 is clamped, and VBR limits given the wrong way round are
// swapped.
EncodingSettings Sanitized(EncodingSettings settings);

// The offered value nearest to `value` (the lower of two equally near).
int NearestBitRate(int kbps);
int NearestSampleRate(int hz);

}  // namespace engine
