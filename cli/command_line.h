// The command line of tavisto-convert: what to convert, where to, and with which MP3 settings.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/item_tags.h"
#include "core/library.h"
#include "engine/encoding_settings.h"

namespace convert {

struct Options {
  std::vector<std::string> sources;  // files and folders
  std::string filesFrom;             // a file listing more sources ("-": standard input)
  bool nullSeparated = false;        // its paths end with NUL, not a line break
  std::string namePattern;           // --name: output paths from tags
  bool relative = false;             // -R: the output keeps the source's path as given
  bool update = false;               // convert only what is new or changed
  bool prune = false;                // delete the MP3 files whose source is gone
  std::string report;                // a JSON Lines report ("-": standard output)
  bool verify = true;                // decode each MP3 again before it takes its name
  bool replayGain = true;            // measure and write ReplayGain
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

// One media file the command line converts, and where it was found.
struct Source {
  std::string path;
  std::string root;       // the folder named on the command line it was found in ("" for a file)
  std::string subfolder;  // its folder below that root ("" when none)
};

// The files the command line names: each file as it is, each folder replaced by the media files
// under it (recursively, hidden files and other files passed over, in name order), and the media
// files among the paths of the --files-from list. `stop` is asked between folders and list lines.
// On an unreadable list returns nothing and sets `error`.
std::optional<std::vector<Source>> CollectSources(const Options& options, const std::function<bool()>& stop,
                                                  std::string& error);

// Where the MP3 of `source` goes, by the options: a --name pattern (of `fields`), the source's
// path as given (-R), its place below the named folder, or OutputPathFor.
std::string OutputPathOf(const Options& options, const Source& source, std::size_t sourceCount,
                         const core::NameFields* fields);

}  // namespace convert
