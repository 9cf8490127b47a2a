// The command line of tavisto-convert: what to convert, where to, and with which MP3 settings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/item_tags.h"
#include "engine/encoding_settings.h"

namespace convert {

struct Options {
  std::vector<std::string> sources;
  std::string output;  // a file (one source) or a folder; empty: beside each source
  engine::EncodingSettings encoding = engine::kDefaultEncoding;  // the MP3 settings
  // Whether --mode was given: without it a mono source stays mono.
  bool modeGiven = false;
  // Whether --vbr gave limits: without them, -V leaves the whole range to the encoder.
  bool vbrRangeGiven = false;
  core::TagChoice tags;  // the tag texts given; the others come from each source's own tags
  int jobs = 0;          // conversions at once; 0: one per processor core
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

// Where the MP3 for `source` goes: `output` itself for a single source that names a file, else
// the source's MP3 name (core::Mp3FileNameFor) in the `output` folder (or beside the source).
std::string OutputPathFor(const std::string& source, const std::string& output, bool singleSource);

}  // namespace convert
