// A registry of typed values under named keys, kept as a per-user .reg text file (layout in reg_text.h) at
// RegistryFilePath(): $TAVISTO_REGISTRY, else ~/.config/Quorlen/Tavisto.reg.
//
// A RegistryKey is one open key. It reads the file when it opens, answers reads from that copy,
// collects writes, and persists them in one atomic file replacement when it is flushed or
// closed; a persist that fails is reported by Flush and Close, so a caller can tell that its
// writes were lost.
//
// Keys open with read and write access, as the program's settings key is opened. A key cannot
// be opened when the user may not read or write its file or the file's folder, nor when the file
// is not a .reg text this store can read. Such a file is never written: rewriting it would
// destroy whatever the user wrote into it by hand. It stays as it is until the user mends or
// removes it.
//
// Threads: one thread at a time per object. Processes: a persist re-reads the file and applies
// only this key's own writes to it, so what another instance wrote in between survives.
#pragma once

#include "platform/registry/reg_text.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class RegistryStatus {
  Ok,
  NotFound,         // no such key (or no file), and it was not to be created
  AccessDenied,     // the user may not read or write the file or its folder
  Unreadable,       // not a .reg text this store can read (or not a regular file); left as it is
  WriteFailed,      // the file could not be written; it is unchanged
  InvalidArgument,  // a key or value name that the text format cannot hold
  NotOpen,
};

enum class RegistryOpenMode {
  Existing,         // fail with NotFound when the key does not exist
  CreateIfMissing,  // create a missing key (and file, and folders), written at once
};

class RegistryKey {
 public:
  RegistryKey() = default;
  // Closes the key; a failed persist then goes unnoticed, so callers that care call Close.
  ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Opens `keyPath` ("HKEY_LOCAL_MACHINE\Software\Quorlen\Tavisto") in the file at
  // RegistryFilePath(), closing the key this object had open.
  RegistryStatus Open(const std::string& keyPath, RegistryOpenMode mode);
  // The same in the store file `file`.
  RegistryStatus Open(const std::string& file, const std::string& keyPath, RegistryOpenMode mode);
  bool IsOpen() const { return open_; }

  // The value of that name (names compare without regard to letter case), with its type.
  std::optional<RegistryValue> Read(std::string_view name) const;
  // The text of a REG_SZ or REG_EXPAND_SZ value, unexpanded; nullopt for a missing value or
  // one of another type.
  std::optional<std::string> ReadString(std::string_view name) const;
  // A REG_DWORD value as a signed 32-bit integer; nullopt for a missing value or one of another
  // type or size.
  std::optional<std::int32_t> ReadInteger(std::string_view name) const;

  // Sets a REG_SZ value (the text up to a NUL, if it holds one) or a REG_DWORD value. Writes
  // are collected until the next Flush or Close; a write that changes nothing is dropped.
  RegistryStatus WriteString(std::string_view name, std::string_view text);
  RegistryStatus WriteInteger(std::string_view name, std::int32_t value);

  // Persists the collected writes. On failure they are dropped and the file is unchanged.
  RegistryStatus Flush();
  // Flush, then close. Closing a key that is not open is Ok.
  RegistryStatus Close();

  // Why the last Open, Flush or Close failed, for diagnostics; empty after a success.
  const std::string& LastError() const { return lastError_; }

 private:
  RegistryStatus Fail(RegistryStatus status, std::string error);
  RegistryStatus Write(RegistryValue value);

  std::string file_;
  std::string keyPath_;
  RegistryKeyData key_;               // the key as this object sees it, own writes included
  std::vector<std::string> pending_;  // names written since the last persist, in write order
  bool open_ = false;
  std::string lastError_;
};

}  // namespace platform
