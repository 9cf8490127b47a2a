// The .reg text format, read into and written from an in-memory copy of the keys it holds.
// Pure functions over bytes: no files, no global state, callable from any thread.
//
// The layout, as the registry editor exports it and as people edit it by hand:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\Software\Quorlen\Tavisto]
//   "InputFileDir"="/home/ann/Music/"                  string (REG_SZ), \" and \\ escaped
//   "AudioBitrate"=dword:000000c0                      32-bit integer (REG_DWORD)
//   "Path"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,\   expandable string (REG_EXPAND_SZ) as
//     00,00,00                                         UTF-16LE bytes, continued with "\"
//   @="text"                                           the key's default value (empty name)
//
// Read as well: LF or CRLF line ends; a UTF-8 or UTF-16LE byte-order mark; blank lines and
// comment lines starting with ";"; "hex:" and every "hex(N):" type; "Name"=- and [-Key]
// deletions, applied in file order as an import applies them. Key and value names compare
// without regard to ASCII letter case; a name given twice keeps its first spelling and its last
// data. Anything else makes the whole text unreadable: the store never guesses at a line it does
// not understand, so it never writes back a file it misread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Registry value types, with the registry's own numbers.
constexpr std::uint32_t REG_NONE = 0;
constexpr std::uint32_t REG_SZ = 1;
constexpr std::uint32_t REG_EXPAND_SZ = 2;
constexpr std::uint32_t REG_BINARY = 3;
constexpr std::uint32_t REG_DWORD = 4;

// A .reg text larger than this is not a settings file; it is refused unread.
constexpr std::size_t kMaxRegTextBytes = 1024 * 1024;

struct RegistryValue {
  std::string name;                // as first spelled; "" is the key's default value
  std::uint32_t type = REG_NONE;
  std::string text;                // REG_SZ and REG_EXPAND_SZ: the text (UTF-8, no NUL)
  std::vector<std::uint8_t> data;  // every other type: its bytes (REG_DWORD: 4, little-endian)

  bool operator==(const RegistryValue&) const = default;
};

struct RegistryKeyData {
  std::string path;  // "HKEY_LOCAL_MACHINE\Software\Quorlen\Tavisto"
  std::vector<RegistryValue> values;

  const RegistryValue* FindValue(std::string_view name) const;
  // Replaces the data of the value of that name, keeping its spelling and place; or appends it.
  void SetValue(RegistryValue value);

  bool operator==(const RegistryKeyData&) const = default;
};

struct RegistryDocument {
  std::vector<RegistryKeyData> keys;  // in file order

  RegistryKeyData* FindKey(std::string_view path);
  const RegistryKeyData* FindKey(std::string_view path) const;
  // The key of that path; a new, empty one at the end when there is none.
  RegistryKeyData& AddKey(std::string_view path);

  bool operator==(const RegistryDocument&) const = default;
};

// True when two key or value names are the same name to the registry.
bool SameRegistryName(std::string_view a, std::string_view b);

struct RegParseResult {
  std::optional<RegistryDocument> document;  // nullopt: not a .reg text this store can read
  int errorLine = 0;                         // 1-based line of the first problem
  std::string error;                         // what is wrong there
};

// Reads a .reg text. A text that is empty or only blank is an empty document.
RegParseResult ParseRegText(std::string_view bytes);

// Writes `document` as UTF-8 .reg text with LF line ends, in the registry editor's layout.
// ParseRegText gives the same document back for every document that ParseRegText produced.
std::string FormatRegText(const RegistryDocument& document);

}  // namespace platform
