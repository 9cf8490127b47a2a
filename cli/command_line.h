// The command line of tavisto-convert: what to convert, where to, and with which MP3 settings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/encoding_settings.h"

namespace convert {

// Tag texts given on the command line; the others come from each source's own tags.
struct TagTexts {
  std::optional<std::string> title, artist, albumArtist, album, year, track, comment, genre;
  bool noCover = false;  // leave the source's cover picture out
};

struct Options {
  std::vector<std::string> sources;
  std::string output;  // a file (one source) or a folder; empty: beside each source
  engine::EncodingSettings encoding;  // the MP3 settings (its tag texts are filled per file)
  TagTexts tags;
  int jobs = 0;  // conversions at once; 0: one per processor core
  bool force = false;
  bool quiet = false;
  bool help = false;
  bool version = false;
};

// Parses `args` (without the program name). On a usage error returns nothing and sets `error`.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

// The --help text.
std::string HelpText();
// The --version text.
std::string VersionText();

// The tags of one file's MP3: those given, else the source's own as the desktop program takes
// them (title, artist or author, album artist, album, year or date, track, comment or
// copyright, genre, and the composer, disc and cover that no option sets), else the file name
// as title.
void FillTags(engine::EncodingSettings& encoding, const TagTexts& given, const std::string& source);

// Where the MP3 for `source` goes: `output` itself for a single source that names a file, else
// the source's name with ".mp3" in the `output` folder (or beside the source).
std::string OutputPathFor(const std::string& source, const std::string& output, bool singleSource);

}  // namespace convert
