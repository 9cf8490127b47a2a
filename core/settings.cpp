#include "core/settings.h"

#include <algorithm>
#include <optional>
#include <thread>

#include "platform/paths/path_names.h"
#include "platform/paths/user_dirs.h"
#include "platform/registry/registry_key.h"

namespace core {

namespace {

using platform::REG_EXPAND_SZ;
using platform::REG_SZ;
using platform::RegistryKey;
using platform::RegistryOpenMode;
using platform::RegistryStatus;

// The folder values, in the order a first start writes them (before the integers).
struct FolderKey {
  const char* name;
  std::string Settings::*field;
};
constexpr FolderKey kFolderKeys[] = {{"InputFileDir", &Settings::inputFileDir},
                                     {"OutputFileDir", &Settings::outputFileDir}};

// The integer values, in the order a first start writes them. `always` marks the values every
// settings file has had: a missing one is written back at once. A value added later is written
// only when it is saved with another value than its built-in one, so older files stay as they
// were.
struct IntegerKey {
  const char* name;
  std::int32_t (*get)(const Settings&);
  void (*set)(Settings&, std::int32_t);
  bool always;
};
constexpr IntegerKey kIntegerKeys[] = {
    {"AudioBitrate", [](const Settings& s) { return s.encoding.bitrate; },
     [](Settings& s, std::int32_t v) { s.encoding.bitrate = v; }, true},
    {"AudioSampleRate", [](const Settings& s) { return s.encoding.sampleRate; },
     [](Settings& s, std::int32_t v) { s.encoding.sampleRate = v; }, true},
    {"AudioChannels", [](const Settings& s) { return engine::NumberOf(s.encoding.channelMode); },
     [](Settings& s, std::int32_t v) {
       s.encoding.channelMode = engine::ChannelModeOf(v).value_or(engine::kDefaultEncoding.channelMode);
     },
     true},
    {"AudioBitsPerSample", [](const Settings& s) { return s.audioBitsPerSample; },
     [](Settings& s, std::int32_t v) { s.audioBitsPerSample = v; }, true},
    {"AudioVBR", [](const Settings& s) { return s.encoding.vbr ? 1 : 0; },
     [](Settings& s, std::int32_t v) { s.encoding.vbr = v != 0; }, true},
    {"AudioVbrMinBitrate", [](const Settings& s) { return s.encoding.vbrMinBitrate; },
     [](Settings& s, std::int32_t v) { s.encoding.vbrMinBitrate = v; }, true},
    {"AudioVbrMaxBitrate", [](const Settings& s) { return s.encoding.vbrMaxBitrate; },
     [](Settings& s, std::int32_t v) { s.encoding.vbrMaxBitrate = v; }, true},
    {"tips", [](const Settings& s) { return s.tips; }, [](Settings& s, std::int32_t v) { s.tips = v; }, true},
    {"Jobs", [](const Settings& s) { return s.jobs; }, [](Settings& s, std::int32_t v) { s.jobs = v; }, true},
    {"AudioVbrQuality", [](const Settings& s) { return s.encoding.vbrQuality; },
     [](Settings& s, std::int32_t v) { s.encoding.vbrQuality = v; }, false},
    {"OutputNames", [](const Settings& s) { return static_cast<std::int32_t>(s.outputNames); },
     [](Settings& s, std::int32_t v) {
       s.outputNames = v >= 0 && v <= static_cast<std::int32_t>(OutputNames::OwnPattern) ? static_cast<OutputNames>(v)
                                                                                          : OutputNames::LikeSource;
     },
     false},
    {"UpdateOnly", [](const Settings& s) { return s.run.updateOnly ? 1 : 0; },
     [](Settings& s, std::int32_t v) { s.run.updateOnly = v != 0; }, false},
    {"VerifyMp3", [](const Settings& s) { return s.run.verify ? 1 : 0; },
     [](Settings& s, std::int32_t v) { s.run.verify = v != 0; }, false},
    {"ReplayGain", [](const Settings& s) { return s.run.replayGain ? 1 : 0; },
     [](Settings& s, std::int32_t v) { s.run.replayGain = v != 0; }, false},
    {"FolderArt", [](const Settings& s) { return s.run.folderArt ? 1 : 0; },
     [](Settings& s, std::int32_t v) { s.run.folderArt = v != 0; }, false},
    {"ListKeptNotice", [](const Settings& s) { return s.listKeptNoticeShown ? 1 : 0; },
     [](Settings& s, std::int32_t v) { s.listKeptNoticeShown = v != 0; }, false},
};

// Text values added later, each written only once it is saved with another value than its
// built-in one. A missing or mistyped one reads as its built-in value.
struct TextKey {
  const char* name;
  std::string Settings::*field;
};
constexpr TextKey kTextKeys[] = {{"OutputNamePattern", &Settings::namePattern}};

// The folder written when "InputFileDir" is empty: the documents folder, ending with "/" as
// every folder in the settings does.
std::string DefaultInputFolderSetting() { return platform::WithTrailingSlash(DocumentsFolder()); }

// Reads a folder value. A missing value reads as empty; a value that is neither a string nor an
// expandable string (taken without expansion) makes the whole load fall back.
bool ReadFolder(const RegistryKey& key, const char* name, std::string& folder) {
  const std::optional<platform::RegistryValue> value = key.Read(name);
  if (!value) {
    folder.clear();
    return true;
  }
  if (value->type != REG_SZ && value->type != REG_EXPAND_SZ) return false;
  folder = value->text;
  return true;
}

bool LoadFromExistingKey(RegistryKey& key, Settings& settings) {
  const Settings builtIn;
  bool ok = ReadFolder(key, "InputFileDir", settings.inputFileDir);
  if (ok && settings.inputFileDir.empty()) {
    settings.inputFileDir = DefaultInputFolderSetting();
    ok = key.WriteString("InputFileDir", settings.inputFileDir) == RegistryStatus::Ok;
  }
  ok = ok && ReadFolder(key, "OutputFileDir", settings.outputFileDir);
  if (settings.outputFileDir == settings.inputFileDir) settings.outputFileDir.clear();
  if (ok && settings.outputFileDir.empty()) {
    ok = key.WriteString("OutputFileDir", "") == RegistryStatus::Ok;  // so that the value exists
  }
  for (const IntegerKey& entry : kIntegerKeys) {
    if (!ok) break;
    if (const std::optional<std::int32_t> stored = key.ReadInteger(entry.name)) {
      entry.set(settings, *stored);
      continue;
    }
    // A missing or mistyped value is answered by its built-in default, written back.
    entry.set(settings, entry.get(builtIn));
    if (entry.always || key.Read(entry.name)) ok = key.WriteInteger(entry.name, entry.get(builtIn)) == RegistryStatus::Ok;
  }
  for (const TextKey& entry : kTextKeys) {
    if (!ok) break;
    if (const std::optional<std::string> stored = key.ReadString(entry.name)) {
      settings.*entry.field = *stored;
      continue;
    }
    settings.*entry.field = builtIn.*entry.field;
    if (key.Read(entry.name)) ok = key.WriteString(entry.name, builtIn.*entry.field) == RegistryStatus::Ok;
  }
  // Writes made before a failure still reach the file when the key closes, as they would have
  // in the registry; only a failed persist of them makes the load fall back.
  const RegistryStatus closed = key.Close();
  return ok && closed == RegistryStatus::Ok;
}

bool CreateKeyWithDefaults(Settings& settings) {
  RegistryKey key;
  if (key.Open(kSettingsKey, RegistryOpenMode::CreateIfMissing) != RegistryStatus::Ok) return false;
  settings = Settings{};
  settings.inputFileDir = DefaultInputFolderSetting();
  bool written = true;
  for (const FolderKey& entry : kFolderKeys)
    written = written && key.WriteString(entry.name, settings.*entry.field) == RegistryStatus::Ok;
  for (const IntegerKey& entry : kIntegerKeys) {
    if (entry.always) written = written && key.WriteInteger(entry.name, entry.get(settings)) == RegistryStatus::Ok;
  }
  return key.Close() == RegistryStatus::Ok && written;
}

}  // namespace

std::int32_t DefaultJobCount() {
  return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, engine::kMostJobs);
}

std::string DocumentsFolder() {
  std::string folder = platform::DocumentsFolder();
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

SettingsStore::SettingsStore(std::string programFolder) : programFolder_(std::move(programFolder)) {}

Settings SettingsStore::Load() {
  Settings settings;
  bool loaded = false;
  {
    RegistryKey key;
    if (key.Open(kSettingsKey, RegistryOpenMode::Existing) == RegistryStatus::Ok) {
      loaded = LoadFromExistingKey(key, settings);
    } else {
      // Missing, refused, or a file the store cannot read: try to create the key; the store
      // refuses to create it in a file that it cannot read.
      loaded = CreateKeyWithDefaults(settings);
    }
  }
  if (!loaded) {
    settings = Settings{};
    settings.inputFileDir = programFolder_;
  }
  stored_ = settings;
  return settings;
}

void SettingsStore::Save(const Settings& settings) {
  RegistryKey key;
  if (key.Open(kSettingsKey, RegistryOpenMode::Existing) != RegistryStatus::Ok) return;
  for (const FolderKey& entry : kFolderKeys) {
    if (settings.*entry.field != stored_.*entry.field) key.WriteString(entry.name, settings.*entry.field);
  }
  for (const IntegerKey& entry : kIntegerKeys) {
    if (entry.get(settings) != entry.get(stored_)) key.WriteInteger(entry.name, entry.get(settings));
  }
  for (const TextKey& entry : kTextKeys) {
    if (settings.*entry.field != stored_.*entry.field) key.WriteString(entry.name, settings.*entry.field);
  }
  // A save that cannot be written is skipped without a word; the values count as unsaved.
  if (key.Close() == RegistryStatus::Ok) stored_ = settings;
}

}  // namespace core
