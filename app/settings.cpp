#include "app/settings.h"

#include "app/api.h"
#include "app/common.h"
#include "platform/paths/user_dirs.h"
#include "platform/registry/registry_key.h"

using platform::RegistryKey;
using platform::RegistryOpenMode;
using platform::RegistryStatus;
using platform::REG_EXPAND_SZ;
using platform::REG_SZ;

TDefaultSettings DefaultSettings;
std::int32_t tips = 0;

namespace {

// The folder written when "InputFileDir" is empty: the documents folder, ending with "/" as
// every folder in the settings does.
std::string DefaultInputFolderSetting() { return WithTrailingSlash(GetDefaultInputFolder()); }

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

bool LoadFromExistingKey(RegistryKey& key, TDefaultSettings& settings, std::int32_t& tipIndex) {
  const TDefaultSettings builtIn;
  bool ok = ReadFolder(key, "InputFileDir", settings.InputFileDir);
  if (ok && settings.InputFileDir.empty()) {
    settings.InputFileDir = DefaultInputFolderSetting();
    ok = key.WriteString("InputFileDir", settings.InputFileDir) == RegistryStatus::Ok;
  }
  ok = ok && ReadFolder(key, "OutputFileDir", settings.OutputFileDir);
  if (ok && settings.OutputFileDir.empty()) {
    ok = key.WriteString("OutputFileDir", "") == RegistryStatus::Ok;  // so that the value exists
  }
  std::int32_t vbr = 0;
  ok = ok && ReadIntegerOrRestore(key, "AudioSampleRate", builtIn.AudioSampleRate, settings.AudioSampleRate) &&
       ReadIntegerOrRestore(key, "AudioBitrate", builtIn.AudioBitrate, settings.AudioBitrate) &&
       ReadIntegerOrRestore(key, "AudioBitsPerSample", builtIn.AudioBitsPerSample, settings.AudioBitsPerSample) &&
       ReadIntegerOrRestore(key, "AudioChannels", builtIn.AudioChannels, settings.AudioChannels) &&
       ReadIntegerOrRestore(key, "AudioVBR", builtIn.AudioVBR ? 1 : 0, vbr) &&
       ReadIntegerOrRestore(key, "AudioVbrMinBitrate", builtIn.AudioVbrMinBitrate, settings.AudioVbrMinBitrate) &&
       ReadIntegerOrRestore(key, "AudioVbrMaxBitrate", builtIn.AudioVbrMaxBitrate, settings.AudioVbrMaxBitrate) &&
       ReadIntegerOrRestore(key, "tips", 0, tipIndex);
  settings.AudioVBR = vbr != 0;
  // Writes made before a failure still reach the file when the key closes, as they would have
  // in the registry; only a failed persist of them makes the load fall back.
  const RegistryStatus closed = key.Close();
  return ok && closed == RegistryStatus::Ok;
}

bool CreateKeyWithDefaults(TDefaultSettings& settings, std::int32_t& tipIndex) {
  RegistryKey key;
  if (key.Open(SettingsKey, RegistryOpenMode::CreateIfMissing) != RegistryStatus::Ok) return false;
  settings = TDefaultSettings{};
  settings.InputFileDir = DefaultInputFolderSetting();
  tipIndex = 0;
  const bool written = key.WriteString("InputFileDir", settings.InputFileDir) == RegistryStatus::Ok &&
                       key.WriteString("OutputFileDir", settings.OutputFileDir) == RegistryStatus::Ok &&
                       key.WriteInteger("AudioBitrate", settings.AudioBitrate) == RegistryStatus::Ok &&
                       key.WriteInteger("AudioSampleRate", settings.AudioSampleRate) == RegistryStatus::Ok &&
                       key.WriteInteger("AudioChannels", settings.AudioChannels) == RegistryStatus::Ok &&
                       key.WriteInteger("AudioBitsPerSample", settings.AudioBitsPerSample) == RegistryStatus::Ok &&
                       key.WriteInteger("AudioVBR", settings.AudioVBR ? 1 : 0) == RegistryStatus::Ok &&
                       key.WriteInteger("AudioVbrMinBitrate", settings.AudioVbrMinBitrate) == RegistryStatus::Ok &&
                       key.WriteInteger("AudioVbrMaxBitrate", settings.AudioVbrMaxBitrate) == RegistryStatus::Ok &&
                       key.WriteInteger("tips", tipIndex) == RegistryStatus::Ok;
  return key.Close() == RegistryStatus::Ok && written;
}

}  // namespace

std::string GetDefaultInputFolder() {
  std::string folder = platform::DocumentsFolder();
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

void LoadSettings() {
  TDefaultSettings settings;
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
    settings = TDefaultSettings{};
    settings.InputFileDir = ProgramFolder;
    tipIndex = 0;
  }
  DefaultSettings = settings;
  tips = tipIndex;
}

void SaveSettings() {
  RegistryKey key;
  if (key.Open(SettingsKey, RegistryOpenMode::Existing) != RegistryStatus::Ok) return;
  const TDefaultSettings& s = DefaultSettings;
  key.WriteString("InputFileDir", s.InputFileDir);
  key.WriteString("OutputFileDir", s.OutputFileDir);
  key.WriteInteger("AudioBitrate", s.AudioBitrate);
  key.WriteInteger("AudioSampleRate", s.AudioSampleRate);
  key.WriteInteger("AudioBitsPerSample", s.AudioBitsPerSample);
  key.WriteInteger("AudioChannels", s.AudioChannels);
  key.WriteInteger("AudioVBR", s.AudioVBR ? 1 : 0);
  key.WriteInteger("AudioVbrMinBitrate", s.AudioVbrMinBitrate);
  key.WriteInteger("AudioVbrMaxBitrate", s.AudioVbrMaxBitrate);
  key.WriteInteger("tips", tips);
  key.Close();  // a save that cannot be written is skipped without a word
}
