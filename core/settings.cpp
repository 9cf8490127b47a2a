#include "core/settings.h"

#include "core/conversion_run.h"

#include "platform/paths/path_names.h"
#include "core/conversion_task.h"
#include "platform/paths/user_dirs.h"
#include "platform/registry/registry_key.h"

using platform::RegistryKey;
using platform::RegistryOpenMode;
using platform::RegistryStatus;
using platform::REG_EXPAND_SZ;
using platform::REG_SZ;

Settings DefaultSettings;
std::int32_t TipIndex = 0;

namespace {

// The folder written when "InputFileDir" is empty: the documents folder, ending with "/" as
// every folder in the settings does.
std::string DefaultInputFolderSetting() { return platform::WithTrailingSlash(GetDefaultInputFolder()); }

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

// Reads an integer value; a missing or mistyped one is answered by its built-in default, which
// is written back under the same name.
bool ReadIntegerOrRestore(RegistryKey& key, const char* name, std::int32_t builtIn, std::int32_t& field) {
  if (const std::optional<std::int32_t> stored = key.ReadInteger(name)) {
    field = *stored;
    return true;
  }
  field = builtIn;
  return key.WriteInteger(name, builtIn) == RegistryStatus::Ok;
}

bool LoadFromExistingKey(RegistryKey& key, Settings& settings, std::int32_t& tipIndex) {
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
  std::int32_t vbr = 0;
  ok = ok && ReadIntegerOrRestore(key, "AudioSampleRate", builtIn.audioSampleRate, settings.audioSampleRate) &&
       ReadIntegerOrRestore(key, "AudioBitrate", builtIn.audioBitrate, settings.audioBitrate) &&
       ReadIntegerOrRestore(key, "AudioBitsPerSample", builtIn.audioBitsPerSample, settings.audioBitsPerSample) &&
       ReadIntegerOrRestore(key, "AudioChannels", builtIn.audioChannels, settings.audioChannels) &&
       ReadIntegerOrRestore(key, "AudioVBR", builtIn.audioVbr ? 1 : 0, vbr) &&
       ReadIntegerOrRestore(key, "AudioVbrMinBitrate", builtIn.audioVbrMinBitrate, settings.audioVbrMinBitrate) &&
       ReadIntegerOrRestore(key, "AudioVbrMaxBitrate", builtIn.audioVbrMaxBitrate, settings.audioVbrMaxBitrate) &&
       ReadIntegerOrRestore(key, "tips", 0, tipIndex) &&
       ReadIntegerOrRestore(key, "Jobs", builtIn.jobs, settings.jobs);
  settings.audioVbr = vbr != 0;
  // Writes made before a failure still reach the file when the key closes, as they would have
  // in the registry; only a failed persist of them makes the load fall back.
  const RegistryStatus closed = key.Close();
  return ok && closed == RegistryStatus::Ok;
}

bool CreateKeyWithDefaults(Settings& settings, std::int32_t& tipIndex) {
  RegistryKey key;
  if (key.Open(SettingsKey, RegistryOpenMode::CreateIfMissing) != RegistryStatus::Ok) return false;
  settings = Settings{};
  settings.inputFileDir = DefaultInputFolderSetting();
  tipIndex = 0;
  const bool written = key.WriteString("InputFileDir", settings.inputFileDir) == RegistryStatus::Ok &&
                       key.WriteString("OutputFileDir", settings.outputFileDir) == RegistryStatus::Ok &&
                       key.WriteInteger("AudioBitrate", settings.audioBitrate) == RegistryStatus::Ok &&
                       key.WriteInteger("AudioSampleRate", settings.audioSampleRate) == RegistryStatus::Ok &&
                       key.WriteInteger("AudioChannels", settings.audioChannels) == RegistryStatus::Ok &&
                       key.WriteInteger("AudioBitsPerSample", settings.audioBitsPerSample) == RegistryStatus::Ok &&
                       key.WriteInteger("AudioVBR", settings.audioVbr ? 1 : 0) == RegistryStatus::Ok &&
                       key.WriteInteger("AudioVbrMinBitrate", settings.audioVbrMinBitrate) == RegistryStatus::Ok &&
                       key.WriteInteger("AudioVbrMaxBitrate", settings.audioVbrMaxBitrate) == RegistryStatus::Ok &&
                       key.WriteInteger("tips", tipIndex) == RegistryStatus::Ok &&
                       key.WriteInteger("Jobs", settings.jobs) == RegistryStatus::Ok;
  return key.Close() == RegistryStatus::Ok && written;
}

}  // namespace

std::int32_t DefaultJobCount() { return ConversionRun::DefaultJobs(); }

std::string GetDefaultInputFolder() {
  std::string folder = platform::DocumentsFolder();
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

void LoadSettings() {
  Settings settings;
  std::int32_t tipIndex = 0;
  bool loaded = false;
  {
    RegistryKey key;
    if (key.Open(SettingsKey, RegistryOpenMode::Existing) == RegistryStatus::Ok) {
      loaded = LoadFromExistingKey(key, settings, tipIndex);
    } else {
      // Missing, refused, or a file the store cannot read: try to create the key; the store
      // refuses to create it in a file that it cannot read.
      loaded = CreateKeyWithDefaults(settings, tipIndex);
    }
  }
  if (!loaded) {
    settings = Settings{};
    settings.inputFileDir = ProgramFolder;
    tipIndex = 0;
  }
  DefaultSettings = settings;
  TipIndex = tipIndex;
}

void SaveSettings() {
  RegistryKey key;
  if (key.Open(SettingsKey, RegistryOpenMode::Existing) != RegistryStatus::Ok) return;
  const Settings& s = DefaultSettings;
  key.WriteString("InputFileDir", s.inputFileDir);
  key.WriteString("OutputFileDir", s.outputFileDir);
  key.WriteInteger("AudioBitrate", s.audioBitrate);
  key.WriteInteger("AudioSampleRate", s.audioSampleRate);
  key.WriteInteger("AudioBitsPerSample", s.audioBitsPerSample);
  key.WriteInteger("AudioChannels", s.audioChannels);
  key.WriteInteger("AudioVBR", s.audioVbr ? 1 : 0);
  key.WriteInteger("AudioVbrMinBitrate", s.audioVbrMinBitrate);
  key.WriteInteger("AudioVbrMaxBitrate", s.audioVbrMaxBitrate);
  key.WriteInteger("tips", TipIndex);
  key.WriteInteger("Jobs", s.jobs);
  key.Close();  // a save that cannot be written is skipped without a word
}
