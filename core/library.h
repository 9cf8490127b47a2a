// Keeping an MP3 copy of a whole music library in step: names built from tags, the record each
// MP3 carries of what it was made from, whether an MP3 is still up to date, and which MP3 files
// lost their source. Pure functions over texts and small reads; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/encoding_settings.h"

namespace core {

// What a name pattern's fields are filled from: a source's tags and where it lies.
struct NameFields {
  std::string artist, albumArtist, album, title, year, genre;
  int track = 0, disc = 0;  // 0 when the source has none
  std::string fileName;     // the source's name without its extension
  std::string folder;       // the source's sub-folder below the folder it was found in ("" when none)
};

// A pattern of output paths built from tags: "%albumartist%/%album%/%track% %title%". The fields
// are %artist%, %albumartist% (the artist when empty), %album%, %title% (the file name when
// empty), %track% (two digits), %disc%, %year%, %genre%, %filename% and %folder%; "/" in the
// pattern makes folders, and ".mp3" is added.
class NamePattern {
 public:
  // The pattern of `text`; nothing, with `error` saying why, for an unknown field, a "%" that
  // opens no field, or a pattern that makes no name.
  static std::optional<NamePattern> Parse(std::string_view text, std::string& error);

  // The path the pattern gives for `fields`, relative, ending with ".mp3". A value never makes a
  // folder: "/", the characters FAT and exFAT refuse (\ : * ? " < > |) and control characters
  // become "_", a leading dot "_" (no hidden files), trailing dots and spaces go, and each part
  // fits a file name (cut at a character boundary). An empty artist or album reads "Unknown
  // Artist" or "Unknown Album"; a part left empty goes. %folder% keeps its own folders.
  std::string Expand(const NameFields& fields) const;

  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// The patterns the desktop program offers by name.
inline constexpr char kArtistAlbumTitlePattern[] = "%albumartist%/%album%/%track% %title%";

// `value` as one part of a path: see NamePattern::Expand.
std::string SafeNamePart(std::string_view value);

// What an MP3 Tavisto made records of its source, in a private ID3v2 frame (PRIV, owner
// kMadeFromOwner), so that the output tree describes itself wherever it is moved or copied.
struct MadeFrom {
  std::string source;          // the source's absolute path when the MP3 was made
  std::int64_t size = 0;       // the source's size then
  std::int64_t mtimeNanoseconds = 0;  // and its modification time
  std::string settings;        // the MP3 settings, as SettingsText gives them

  bool operator==(const MadeFrom&) const = default;
};

inline constexpr char kMadeFromOwner[] = "org.quorlen.Tavisto/made-from";

// The settings as the record keeps them: every setting that changes the MP3's audio.
std::string SettingsText(const engine::EncodingSettings& settings);

// The record's bytes for the PRIV frame, and back; nothing for bytes that are no record.
std::string FormatMadeFrom(const MadeFrom& record);
std::optional<MadeFrom> ParseMadeFrom(std::string_view bytes);

// The record of `source` as it is now (its absolute path, size and modification time); nothing
// when it cannot be read.
std::optional<MadeFrom> RecordOf(const std::string& source, const engine::EncodingSettings& settings);

// The record an MP3 file carries, read from its ID3v2 tag alone (no audio is read); nothing when
// the file has none or cannot be read.
std::optional<MadeFrom> ReadMadeFrom(const std::string& mp3);

// Whether the MP3 `mp3` was made by Tavisto from `source` as it is now, with `settings`.
bool UpToDate(const std::string& mp3, const std::string& source, const engine::EncodingSettings& settings);

// The MP3 files under `outputFolder` that Tavisto made from a source below one of
// `sourceFolders` (absolute, ending with "/") that no longer exists: what --prune deletes.
std::vector<std::string> OrphanedMp3Files(const std::string& outputFolder, const std::vector<std::string>& sourceFolders);

}  // namespace core
