// The settings store: the last-used folders and MP3 settings, the tips counter and the number of
// conversions at once, kept under the registry key HKEY_LOCAL_MACHINE\Software\Quorlen\Tavisto,
// which is a per-user .reg text file (platform/registry). New tasks start from these settings and
// the wizard writes each finished task's settings back, so the defaults follow the user's last
// choice.
//
// One table (settings.cpp) names every value, its type and its built-in default, and drives
// loading, creating and saving. Loading never reports anything: missing or mistyped integer
// values of the keys every settings file has had fall back one by one to their built-in defaults
// and are written back (a value added later is written only once it changes); any other problem
// gives every value its built-in default at once, with the program's folder as the input folder.
// A settings file the store cannot read is left exactly as it is (see registry_key.h): the user
// then starts with the built-in defaults, and nothing is saved until the file is mended or
// removed.
//
// Saving writes only the values that changed since they were loaded, into the file as it is at
// that moment: what the user or another Tavisto changed in the file meanwhile stays.
//
// Thread: one thread at a time per store.
#pragma once

#include <cstdint>
#include <string>

#include "engine/encoding_settings.h"

namespace core {

// How new tasks' MP3 files are named (the main window's choice): like their sources, by
// core::kArtistAlbumTitlePattern, or by the user's own pattern (library.h).
enum class OutputNames { LikeSource = 0, ArtistAlbumTitle = 1, OwnPattern = 2 };

// How the desktop program's runs treat their files: the main window's check box and options.
struct RunOptions {
  bool updateOnly = false;  // an MP3 made from the source as it is now is left as it is
  bool verify = true;       // each MP3 is decoded again before it takes its name
  bool replayGain = true;   // track and album gain are measured and written
  bool folderArt = true;    // a source without a cover takes the album art beside it

  bool operator==(const RunOptions&) const = default;
};

// One conversion at a time per processor core: the built-in number of conversions at once.
std::int32_t DefaultJobCount();

// The tips counter of a user who switched the tips off.
inline constexpr std::int32_t kTipsOff = 10000;

struct Settings {
  std::string inputFileDir;  // where the open-file dialog starts; built in: the documents folder
  // Where new output files go (the main window's choice); empty: beside each source. A stored
  // folder equal to the input folder meant "beside the source" too and is read as empty.
  std::string outputFileDir;
  engine::EncodingSettings encoding = engine::kDefaultEncoding;
  std::int32_t audioBitsPerSample = 16;  // kept for the settings file; the encoder takes what the source gives
  std::int32_t tips = 0;                 // the index of the tip shown last, or kTipsOff
  std::int32_t jobs = DefaultJobCount();  // conversions at once
  OutputNames outputNames = OutputNames::LikeSource;
  // The user's own pattern, kept while another choice is made; only a pattern that parses is
  // stored.
  std::string namePattern;
  RunOptions run;
  bool listKeptNoticeShown = false;  // the user was told once that closing keeps the task list

  bool operator==(const Settings&) const = default;
};

// The registry key of the settings.
inline constexpr char kSettingsKey[] = "HKEY_LOCAL_MACHINE\\Software\\Quorlen\\Tavisto";

class SettingsStore {
 public:
  // `programFolder` (ending with "/") is the input folder of a store that cannot be read.
  explicit SettingsStore(std::string programFolder);

  // The settings in the file, creating the key and every missing value with the built-in
  // defaults. Never fails: every problem ends in defaults.
  Settings Load();

  // Writes the values of `settings` that differ from what Load read (or the last Save wrote)
  // into the file as it is now. Does nothing when the key cannot be opened.
  void Save(const Settings& settings);

 private:
  std::string programFolder_;
  Settings stored_;
};

// The user's documents folder, without a trailing "/"; empty when it cannot be told.
std::string DocumentsFolder();

}  // namespace core
