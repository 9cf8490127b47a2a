#include "platform/registry/registry_key.h"

#include "platform/errtext.h"
#include "platform/paths/file_read.h"
#include "platform/paths/folder_lock.h"
#include "platform/paths/user_dirs.h"
#include "platform/registry/atomic_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace platform {
namespace {

struct LoadedStore {
  RegistryStatus status = RegistryStatus::Ok;
  RegistryDocument document;
  std::string error;
};

LoadedStore LoadStore(const std::string& file) {
  LoadedStore store;
  const FileReadResult read = ReadRegularFile(file, kMaxRegTextBytes);
  const std::string quoted = "\"" + file + "\"";
  switch (read.status) {
    case FileReadStatus::Ok:
      break;
    case FileReadStatus::Missing:
      store.status = RegistryStatus::NotFound;
      return store;
    case FileReadStatus::NotPermitted:
      store.status = RegistryStatus::AccessDenied;
      store.error = "Cannot read " + quoted + ": " + ErrnoText(read.error);
      return store;
    case FileReadStatus::NotRegular:
      store.status = RegistryStatus::Unreadable;
      store.error = quoted + " is not a regular file";
      return store;
    case FileReadStatus::TooLarge:
      store.status = RegistryStatus::Unreadable;
      store.error = quoted + " is larger than a settings file can be";
      return store;
    case FileReadStatus::Failed:
      store.status = RegistryStatus::Unreadable;
      store.error = "Cannot read " + quoted + ": " + ErrnoText(read.error);
      return store;
  }
  RegParseResult parsed = ParseRegText(read.bytes);
  if (!parsed.document) {
    store.status = RegistryStatus::Unreadable;
    store.error = quoted + ", line " + std::to_string(parsed.errorLine) + ": " + parsed.error;
    return store;
  }
  store.document = std::move(*parsed.document);
  return store;
}

// Write access as the file's replacement needs it: the file itself (a user who made it
// read-only wants it left alone) and its folder, where the new file is made.
bool MayReplace(const std::string& file) {
  const std::string target = FileBehindLink(file);
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  // The mode bits first: root may write any file, but a file its owner made read-only is left
  // alone whoever runs the program.
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0) {
    const mode_t writable = info.st_uid == ::geteuid() ? S_IWUSR : S_IWUSR | S_IWGRP | S_IWOTH;
    if ((info.st_mode & writable) == 0) return false;
  }
  // AT_EACCESS: check as the process acts, with its effective identity and capabilities.
  return ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0 &&
         ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// A key path the text format can hold and read back as the same key.
bool IsValidKeyPath(std::string_view path) {
  return !path.empty() && path.front() != '-' && path.find_first_of(std::string_view("\n\r\0", 3)) == std::string_view::npos;
}

bool IsValidValueName(std::string_view name) {
  return name.find_first_of(std::string_view("\n\0", 2)) == std::string_view::npos;
}

}  // namespace

RegistryKey::~RegistryKey() { Close(); }

RegistryStatus RegistryKey::Fail(RegistryStatus status, std::string error) {
  lastError_ = std::move(error);
  return status;
}

RegistryStatus RegistryKey::Open(const std::string& keyPath, RegistryOpenMode mode) {
  return Open(RegistryFilePath(), keyPath, mode);
}

RegistryStatus RegistryKey::Open(const std::string& file, const std::string& keyPath, RegistryOpenMode mode) {
  Close();
  lastError_.clear();
  if (!IsValidKeyPath(keyPath)) return Fail(RegistryStatus::InvalidArgument, "Not a key name: \"" + keyPath + "\"");

  LoadedStore store = LoadStore(file);
  if (store.status == RegistryStatus::Ok) {
    if (!MayReplace(file)) {
      return Fail(RegistryStatus::AccessDenied, "\"" + file + "\" or its folder is read-only");
    }
    if (const RegistryKeyData* key = store.document.FindKey(keyPath)) {
      key_ = *key;
      file_ = file;
      keyPath_ = keyPath;
      open_ = true;
      return RegistryStatus::Ok;
    }
  } else if (store.status != RegistryStatus::NotFound) {
    return Fail(store.status, store.error);
  }
  if (mode == RegistryOpenMode::Existing) {
    return Fail(RegistryStatus::NotFound, "\"" + file + "\" holds no key " + keyPath);
  }

  // Creating a key makes it exist at once, as the registry does.
  store.document.AddKey(keyPath);
  std::string error;
  if (!WriteFileAtomically(file, FormatRegText(store.document), &error)) {
    return Fail(RegistryStatus::WriteFailed, error);
  }
  key_ = RegistryKeyData{keyPath, {}};
  file_ = file;
  keyPath_ = keyPath;
  open_ = true;
  return RegistryStatus::Ok;
}

std::optional<RegistryValue> RegistryKey::Read(std::string_view name) const {
  if (!open_) return std::nullopt;
  const RegistryValue* value = key_.FindValue(name);
  return value != nullptr ? std::optional<RegistryValue>(*value) : std::nullopt;
}

std::optional<std::string> RegistryKey::ReadString(std::string_view name) const {
  const std::optional<RegistryValue> value = Read(name);
  if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return std::nullopt;
  return value->text;
}

std::optional<std::int32_t> RegistryKey::ReadInteger(std::string_view name) const {
  const std::optional<RegistryValue> value = Read(name);
  if (!value || value->type != REG_DWORD || value->data.size() != 4) return std::nullopt;
  const std::uint32_t bits = value->data[0] | (value->data[1] << 8) | (value->data[2] << 16) |
                             (static_cast<std::uint32_t>(value->data[3]) << 24);
  return static_cast<std::int32_t>(bits);
}

RegistryStatus RegistryKey::WriteString(std::string_view name, std::string_view text) {
  RegistryValue value;
  value.name = name;
  value.type = REG_SZ;
  value.text = text.substr(0, text.find('\0'));
  return Write(std::move(value));
}

RegistryStatus RegistryKey::WriteInteger(std::string_view name, std::int32_t number) {
  RegistryValue value;
  value.name = name;
  value.type = REG_DWORD;
  const auto bits = static_cast<std::uint32_t>(number);
  for (int shift = 0; shift < 32; shift += 8) value.data.push_back(static_cast<std::uint8_t>(bits >> shift));
  return Write(std::move(value));
}

RegistryStatus RegistryKey::Write(RegistryValue value) {
  if (!open_) return RegistryStatus::NotOpen;
  if (!IsValidValueName(value.name)) return RegistryStatus::InvalidArgument;
  const RegistryValue* existing = key_.FindValue(value.name);
  if (existing != nullptr && existing->type == value.type && existing->text == value.text &&
      existing->data == value.data) {
    return RegistryStatus::Ok;
  }
  const bool alreadyPending = std::any_of(pending_.begin(), pending_.end(),
                                          [&](const std::string& name) { return SameRegistryName(name, value.name); });
  if (!alreadyPending) pending_.push_back(value.name);
  key_.SetValue(std::move(value));
  return RegistryStatus::Ok;
}

RegistryStatus RegistryKey::Flush() {
  if (!open_) return RegistryStatus::NotOpen;
  lastError_.clear();
  if (pending_.empty()) return RegistryStatus::Ok;
  std::vector<std::string> names;
  names.swap(pending_);

  // Apply this key's writes to the file as it is now, not as it was at Open.
  const FolderLock lock(FileBehindLink(file_));
  LoadedStore store = LoadStore(file_);
  if (store.status != RegistryStatus::Ok && store.status != RegistryStatus::NotFound) {
    return Fail(store.status, store.error);
  }
  RegistryKeyData& key = store.document.AddKey(keyPath_);
  for (const std::string& name : names) key.SetValue(*key_.FindValue(name));
  std::string error;
  if (!WriteFileAtomically(file_, FormatRegText(store.document), &error)) {
    return Fail(RegistryStatus::WriteFailed, error);
  }
  key_ = key;
  return RegistryStatus::Ok;
}

RegistryStatus RegistryKey::Close() {
  if (!open_) return RegistryStatus::Ok;
  const RegistryStatus status = Flush();
  open_ = false;
  key_ = RegistryKeyData{};
  pending_.clear();
  return status;
}

}  // namespace platform
