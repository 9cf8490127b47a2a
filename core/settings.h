// The settings store: the last-used folders and MP3 settings (DefaultSettings) and the tips
// counter (tips), kept under the registry key HKEY_LOCAL_MACHINE\Software\Quorlen\Tavisto,
// which is a per-user .reg text file (platform/registry). New tasks start from these settings
// and the wizard writes each finished task's settings back, so the defaults follow the user's
// last choice.
//
// Loading and saving never report anything. Missing or mistyped integer values fall back one by
// one to their built-in defaults and are written back; any other problem gives every value its
// built-in default at once, with the program's folder as the input folder. A settings file the
// store cannot read is left exactly as it is (see registry_key.h): the user then starts with
// the built-in defaults, and nothing is saved until the file is mended or removed.
//
// Thread: the user-interface thread. The reading thread of an inspection may change
// OutputFileDir and read the audio fields while the user-interface thread waits for it.
#pragma once

#include <cstdint>
#include <string>

// One conversion at a time per processor core: the built-in number of conversions at once.
std::int32_t DefaultJobCount();

struct Settings {
  std::string inputFileDir;    // where the open-file dialog starts; built in: the documents folder
  // Where new output files go (the main window's choice); empty: beside each source. A stored
  // folder equal to the input folder meant "beside the source" too and is read as empty.
  std::string outputFileDir;
  std::int32_t audioBitrate = 192;        // kbps
  std::int32_t audioSampleRate = 44100;   // Hz
  std::int32_t audioBitsPerSample = 16;
  std::int32_t audioChannels = 2;         // channel mode index, 2 is joint stereo
  bool audioVbr = false;
  std::int32_t audioVbrMinBitrate = 128;  // kbps
  std::int32_t audioVbrMaxBitrate = 256;  // kbps
  std::int32_t jobs = DefaultJobCount();  // conversions at once; built in: one per processor core

  bool operator==(const Settings&) const = default;
};

// Folders stored here end with "/".
extern Settings DefaultSettings;

// The index of the tip shown last, or TipsOff.
extern std::int32_t TipIndex;
inline constexpr std::int32_t TipsOff = 10000;

// The registry key of the settings.
inline constexpr char SettingsKey[] = "HKEY_LOCAL_MACHINE\\Software\\Quorlen\\Tavisto";

// Fills DefaultSettings and tips from the registry, creating the key and every missing value
// with the built-in defaults. Never fails: every problem ends in defaults.
void LoadSettings();

// Writes DefaultSettings and tips to the existing key; does nothing when it cannot be opened.
void SaveSettings();

// The user's documents folder, without a trailing "/"; empty when it cannot be told.
std::string GetDefaultInputFolder();
