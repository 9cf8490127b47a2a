// The command line of tavisto-convert: what to convert, where to, and with which MP3 settings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/task_encoding.h"

namespace convert {

struct Options {
  std::vector<std::string> sources;
  std::string output;  // a file (one source) or a folder; empty: beside each source
  engine::TTaskEncoding encoding;
  bool titleGiven = false;  // otherwise each file's title is its name
  bool force = false;
  bool quiet = false;
  bool help = false;
};

// Parses `args` (without the program name). On a usage error returns nothing and sets `error`.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

// The --help text.
std::string HelpText();

// Where the MP3 for `source` goes: `output` itself for a single source that names a file, else
// the source's name with ".mp3" in the `output` folder (or beside the source).
std::string OutputPathFor(const std::string& source, const std::string& output, bool singleSource);

}  // namespace convert
