#include "cli/command_line.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <cerrno>
#include <cstring>

#include "core/added_files.h"
#include "core/output_name.h"
#include "core/version.h"
#include "platform/mmstream/media_stream.h"
#include "platform/utf8.h"

#include <fcntl.h>
#include <unistd.h>

namespace convert {

namespace {

bool AllDigits(const std::string& text, std::size_t most) {
  return !text.empty() && text.size() <= most &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

std::optional<int> ParseBitRate(const std::string& text) {
  if (!AllDigits(text, 3)) return std::nullopt;
  const int value = std::stoi(text);
  if (!engine::IsOfferedBitRate(value)) return std::nullopt;
  return value;
}

// "3" or "3/12": a track number, with the total after a slash.
bool IsPosition(const std::string& text) {
  const auto slash = text.find('/');
  if (slash == std::string::npos) return AllDigits(text, 6) && std::stoi(text) > 0;
  const std::string number = text.substr(0, slash), total = text.substr(slash + 1);
  return AllDigits(number, 6) && std::stoi(number) > 0 && AllDigits(total, 6);
}

// A year, or a whole date that starts with one: "2004", "2004-05", "2004-05-12".
bool IsYear(const std::string& text) {
  // Each part after the year: "-" and two digits within [1, most].
  const auto part = [&text](std::size_t at, int most) {
    if (text.size() < at + 3 || text[at] != '-' || !AllDigits(text.substr(at + 1, 2), 2)) return false;
    const int value = std::stoi(text.substr(at + 1, 2));
    return value >= 1 && value <= most;
  };
  if (text.size() < 4 || !AllDigits(text.substr(0, 4), 4)) return false;
  if (text.size() == 4) return true;
  if (!part(4, 12)) return false;
  return text.size() == 7 || (text.size() == 10 && part(7, 31));
}

struct Option {
  const char* longName;
  char shortName;  // 0: none
  bool takesValue;
  std::function<bool(Options&, const std::string&)> apply;
};

std::optional<std::string> Text(const std::string& value) { return value; }

const std::vector<Option>& OptionTable() {
  static const std::vector<Option> table = {
      {"output", 'o', true, [](Options& o, const std::string& v) { o.output = v; return !v.empty(); }},
      {"force", 'f', false, [](Options& o, const std::string&) { return o.force = true; }},
      {"jobs", 'j', true,
       [](Options& o, const std::string& v) {
         if (!AllDigits(v, 2)) return false;
         o.jobs = std::stoi(v);
         return o.jobs >= 1 && o.jobs <= engine::kMostJobs;
       }},
      {"bitrate", 'b', true,
       [](Options& o, const std::string& v) {
         const auto rate = ParseBitRate(v);
         if (rate) o.encoding.bitrate = *rate;
         return rate.has_value();
       }},
      {"vbr", 0, true,
       [](Options& o, const std::string& v) {
         const auto dash = v.find('-');
         if (dash == std::string::npos) return false;
         const auto low = ParseBitRate(v.substr(0, dash)), high = ParseBitRate(v.substr(dash + 1));
         if (!low || !high) return false;
         o.encoding.vbr = true;
         o.encoding.vbrMinBitrate = *low;
         o.encoding.vbrMaxBitrate = *high;
         o.vbrRangeGiven = true;
         return true;
       }},
      {"vbr-quality", 'V', true,
       [](Options& o, const std::string& v) {
         if (!AllDigits(v, 1)) return false;
         o.encoding.vbr = true;
         o.encoding.vbrQuality = std::stoi(v);
         if (!o.vbrRangeGiven) o.encoding.vbrMinBitrate = o.encoding.vbrMaxBitrate = 0;
         return engine::IsVbrQuality(o.encoding.vbrQuality);
       }},
      {"rate", 'r', true,
       [](Options& o, const std::string& v) {
         if (!AllDigits(v, 5) || !engine::IsOfferedSampleRate(std::stoi(v))) return false;
         o.encoding.sampleRate = std::stoi(v);
         return true;
       }},
      {"mode", 'm', true,
       [](Options& o, const std::string& v) {
         static const std::pair<const char*, engine::ChannelMode> kModes[] = {
             {"dual", engine::ChannelMode::DualChannel},
             {"stereo", engine::ChannelMode::Stereo},
             {"joint", engine::ChannelMode::JointStereo},
             {"mono", engine::ChannelMode::Mono}};
         for (const auto& [name, mode] : kModes) {
           if (v == name) {
             o.encoding.channelMode = mode;
             o.modeGiven = true;
             return true;
           }
         }
         return false;
       }},
      {"title", 0, true, [](Options& o, const std::string& v) { return (o.tags.title = Text(v)).has_value(); }},
      {"artist", 0, true, [](Options& o, const std::string& v) { return (o.tags.artist = Text(v)).has_value(); }},
      {"album-artist", 0, true,
       [](Options& o, const std::string& v) { return (o.tags.albumArtist = Text(v)).has_value(); }},
      {"album", 0, true, [](Options& o, const std::string& v) { return (o.tags.album = Text(v)).has_value(); }},
      {"year", 0, true,
       [](Options& o, const std::string& v) {
         o.tags.year = v;
         return IsYear(v);
       }},
      {"track", 0, true,
       [](Options& o, const std::string& v) {
         o.tags.track = v;
         return IsPosition(v);
       }},
      {"comment", 0, true, [](Options& o, const std::string& v) { return (o.tags.comment = Text(v)).has_value(); }},
      {"genre", 0, true, [](Options& o, const std::string& v) { return (o.tags.genre = Text(v)).has_value(); }},
      {"name", 0, true,
       [](Options& o, const std::string& v) {
         o.namePattern = v;  // checked once every option is read, with the reason
         return true;
       }},
      {"update", 'u', false, [](Options& o, const std::string&) { return o.update = true; }},
      {"prune", 0, false, [](Options& o, const std::string&) { return o.prune = true; }},
      {"report", 0, true, [](Options& o, const std::string& v) { o.report = v; return !v.empty(); }},
      {"files-from", 0, true, [](Options& o, const std::string& v) { o.filesFrom = v; return !v.empty(); }},
      {"null", '0', false, [](Options& o, const std::string&) { return o.nullSeparated = true; }},
      {"relative", 'R', false, [](Options& o, const std::string&) { return o.relative = true; }},
      {"no-verify", 0, false, [](Options& o, const std::string&) {
         o.verify = false;
         return true;
       }},
      {"no-replaygain", 0, false, [](Options& o, const std::string&) {
         o.replayGain = false;
         return true;
       }},
      {"no-cover", 0, false, [](Options& o, const std::string&) { return o.tags.omitCover = true; }},
      {"no-folder-art", 0, false,
       [](Options& o, const std::string&) {
         o.tags.folderArt = false;
         return true;
       }},
      {"quiet", 'q', false, [](Options& o, const std::string&) { return o.quiet = true; }},
      {"help", 'h', false, [](Options& o, const std::string&) { return o.help = true; }},
      {"version", 0, false, [](Options& o, const std::string&) { return o.version = true; }},
  };
  return table;
}

const Option* FindLong(const std::string& name) {
  for (const Option& option : OptionTable()) {
    if (name == option.longName) return &option;
  }
  return nullptr;
}

const Option* FindShort(char name) {
  for (const Option& option : OptionTable()) {
    if (option.shortName != 0 && name == option.shortName) return &option;
  }
  return nullptr;
}

}  // namespace

std::string HelpText() {
  return R"(Usage: tavisto-convert [OPTION]... SOURCE...
Convert media files (WMA, WMV, ASF and anything else FFmpeg decodes) to MP3 with LAME, the
same way the Tavisto desktop program does.

Output:
  -o, --output PATH    the MP3 file for a single SOURCE, or the folder for the MP3 files
                       (a folder when it exists or ends with "/"); default: beside each
                       source, with its name and the extension .mp3
  -f, --force          replace existing MP3 files (only regular files; a source of the
                       run is never replaced)
  -j, --jobs N         convert N files at once (default: one per processor core); when
                       fewer files are left than N, a long file is split into blocks
                       encoded on the free ones (-j 1 never splits)

MP3 settings:
  -b, --bitrate KBPS   constant bit rate: 8 16 24 32 40 48 56 64 80 96 112 128 144 160 192
                       224 256 320 (default 192)
  -V, --vbr-quality N  variable bit rate of quality N, LAME's -V: 0 (best, largest) to 9
                       (smallest); default 2 when --vbr is given
      --vbr MIN-MAX    variable bit rate between MIN and MAX kbps, e.g. 128-256; without it,
                       -V uses the whole range the format allows
  -r, --rate HZ        sample rate of the MP3: 32000, 44100 or 48000 (default 44100)
  -m, --mode MODE      channel mode: joint, stereo, dual or mono (default: mono for a mono
                       source, joint for every other)

Tags (ID3v2.3 at the start of the MP3, ID3v1 at its end). Each defaults to the source's own
tag, and the title to the file name without its extension:
      --title TEXT  --artist TEXT  --album-artist TEXT  --album TEXT
      --year YEAR (2004, or a date 2004-05-12)  --track N[/TOTAL]  --comment TEXT
      --genre TEXT
      --no-cover       leave the source's pictures out
      --no-folder-art  do not take album art from the source's folder
Every other tag of the source is carried as the well-known taggers write it: lyrics,
publisher, BPM, ISRC, grouping, subtitle, conductor, lyricist, original year, copyright, sort
orders, compilation, MusicBrainz identifiers, the rating, every value of a field with several
(two artists, two composers) and every picture with its type. A source without a front cover
of its own takes the largest album art file in its folder (Folder.jpg, AlbumArt_*_Large.jpg,
AlbumArtSmall.jpg, cover.*, front.*). A text over 1 MB or a picture over 16 MB is left out,
with a warning.

Checks and loudness:
      --no-verify      do not decode each MP3 again before it takes its name (by default
                       every MP3 is checked: it decodes without an error, to exactly the
                       samples that were encoded, and its tags read back as written; one that
                       does not is not kept, and its source is reported as failed)
      --no-replaygain  do not measure ReplayGain (by default every MP3 gets its track's gain
                       and peak, REPLAYGAIN_TRACK_GAIN and _PEAK at -18 LUFS, and the tracks of
                       one album converted together their album's, REPLAYGAIN_ALBUM_GAIN and
                       _PEAK; the audio itself is never changed)

Keeping a library in step:
  SOURCE may be a folder: it stands for the media files under it (hidden ones passed over),
  which keep their place below it in the output folder. The output folder is made when
  missing.
      --name PATTERN   the MP3's path below the output folder (or the named folder) from its
                       tags: %artist% %albumartist% %album% %title% %track% %disc% %year%
                       %genre% %filename% %folder%; "/" makes folders, ".mp3" is added, e.g.
                       --name '%albumartist%/%album%/%track% %title%'
  -u, --update         convert only what is new or changed: every MP3 records the source and
                       the settings it was made from, and one made from the source as it is
                       now is left alone (without reading any audio); one made from an older
                       state of the source is replaced; a file Tavisto did not make is left
                       alone unless --force is given. Several processes may update one library
                       at once (one machine or several sharing it): each source is converted
                       once between them.
      --prune          with --update: delete the MP3 files Tavisto made from a source below a
                       named folder that no longer exists (nothing else is ever deleted)
      --report FILE    a JSON Lines record of the run, one object per source ("-": standard
                       output): source, output, status (converted, up-to-date, skipped,
                       failed; removed for --prune), reason, warning, duration, verified
      --files-from FILE  the media files among the paths FILE lists, one a line ("-": standard
                       input)
  -0, --null           the paths of --files-from end with NUL, as find -print0 writes them
  -R, --relative       the MP3 keeps the source's path as given, below the output folder (as
                       cp --parents does)

Other:
  -q, --quiet          no progress line, and no line for converted files
  -h, --help           show this help
      --version        show the version

Short options may be joined with their values (-j1, -b192) and with each other (-fq).

Each converted file gets a line "SOURCE -> MP3" when it is done (with several files at once, in
the order they finish). A source named twice (under any spelling of its path) is converted once.
When two sources of one run would give the same MP3 name, or an MP3 name is a source of the
run, the later one is numbered ("song (2).mp3"), the same way every time the same command runs.

An MP3 file appears under its name only once it is complete. A file that fails, and a run that
is stopped (Ctrl-C, SIGTERM, SIGHUP, a closed terminal or a closed pipe on standard output)
leave nothing behind; the hidden files of a killed run are removed by the next run writing into
the same folder.

Exit status:
  0    every file was converted
  1    a file could not be converted (each one is named, with the reason, on stderr)
  2    a usage error
  3    every file was converted, but with a warning on its line: it came out shorter than its
       source declares (the source is probably damaged or cut short), or a tag of the source
       was too large to carry (a text over 1 MB, a picture over 16 MB) and was left out
  128+N  stopped by signal N: 130 for Ctrl-C, 143 for SIGTERM, 129 for SIGHUP, 141 when standard
       output was closed; the files in progress are not kept
)";
}

std::string VersionText() {
  return std::string("tavisto-convert ") + ProductVersion + R"(
Converts media files to MP3 with FFmpeg and LAME, as the Tavisto desktop program does.
License GPL-3.0-or-later: GNU GPL version 3 or later <https://www.gnu.org/licenses/gpl.html>.
This is free software: you are free to change and redistribute it.
There is NO WARRANTY, to the extent permitted by law.
)";
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  Options options;
  const auto apply = [&](const Option& option, const std::string& shownName, const std::string& value) {
    if (option.apply(options, value)) return true;
    error = "invalid value \"" + value + "\" for --" + option.longName;
    (void)shownName;
    return false;
  };
  bool onlySources = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (onlySources || arg == "-" || arg.empty() || arg[0] != '-') {
      options.sources.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlySources = true;
      continue;
    }
    if (arg.rfind("--", 0) == 0) {
      const std::size_t eq = arg.find('=');
      const std::string name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
      const Option* option = FindLong(name);
      if (option == nullptr) {
        error = "unknown option " + arg;
        return std::nullopt;
      }
      if (!option->takesValue) {
        if (eq != std::string::npos) {
          error = "option --" + name + " takes no value";
          return std::nullopt;
        }
        option->apply(options, {});
        continue;
      }
      if (eq == std::string::npos && i + 1 >= args.size()) {
        error = "option --" + name + " needs a value";
        return std::nullopt;
      }
      if (!apply(*option, name, eq != std::string::npos ? arg.substr(eq + 1) : args[++i])) return std::nullopt;
      continue;
    }
    // Short options: "-f", "-fq", "-j1", "-j 1", "-fj2".
    for (std::size_t at = 1; at < arg.size(); ++at) {
      const Option* option = FindShort(arg[at]);
      if (option == nullptr) {
        error = "unknown option -" + std::string(1, arg[at]);
        return std::nullopt;
      }
      if (!option->takesValue) {
        option->apply(options, {});
        continue;
      }
      if (at + 1 < arg.size()) {
        if (!apply(*option, arg, arg.substr(at + 1))) return std::nullopt;
      } else if (i + 1 < args.size()) {
        if (!apply(*option, arg, args[++i])) return std::nullopt;
      } else {
        error = std::string("option --") + option->longName + " needs a value";
        return std::nullopt;
      }
      break;
    }
  }
  if (!options.help && !options.version && options.sources.empty() && options.filesFrom.empty()) {
    error = "no source file given";
    return std::nullopt;
  }
  if (!options.namePattern.empty()) {
    // The value was checked; here the reason of a bad one is given.
    if (!core::NamePattern::Parse(options.namePattern, error)) return std::nullopt;
  }
  if (options.prune && !options.update) {
    error = "--prune needs --update";
    return std::nullopt;
  }
  if (options.relative && !options.namePattern.empty()) {
    error = "--relative and --name cannot be used together";
    return std::nullopt;
  }
  return options;
}

std::string OutputPathFor(const std::string& source, const std::string& output, bool singleSource) {
  namespace fs = std::filesystem;
  const std::string name = core::Mp3FileNameFor(source);
  if (output.empty()) return (fs::path(source).parent_path() / name).string();
  std::error_code ignored;
  const bool folder = output.back() == '/' || fs::is_directory(output, ignored) || !singleSource;
  return folder ? (fs::path(output) / name).string() : output;
}

namespace {

// The paths of a --files-from list: one a line (a "\r" before the break dropped), or each ended
// by NUL; empty entries are passed over.
std::optional<std::vector<std::string>> ReadList(const std::string& file, bool nullSeparated, std::string& error) {
  const int fd = file == "-" ? STDIN_FILENO : ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot read the list \"" + file + "\": " + std::strerror(errno);
    return std::nullopt;
  }
  std::string bytes;
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = "cannot read the list \"" + file + "\": " + std::strerror(errno);
      if (fd != STDIN_FILENO) ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  if (fd != STDIN_FILENO) ::close(fd);
  std::vector<std::string> paths;
  const char end = nullSeparated ? '\0' : '\n';
  for (std::size_t start = 0; start < bytes.size();) {
    std::size_t stop = bytes.find(end, start);
    if (stop == std::string::npos) stop = bytes.size();
    std::string path = bytes.substr(start, stop - start);
    if (!nullSeparated && !path.empty() && path.back() == '\r') path.pop_back();
    if (!path.empty()) paths.push_back(std::move(path));
    start = stop + 1;
  }
  return paths;
}

bool IsMediaFile(const std::string& path, const std::vector<std::string>& extensions) {
  std::string extension = std::filesystem::path(path).extension().string();
  if (extension.empty()) return false;
  extension = platform::AsciiLower(extension.substr(1));
  return std::binary_search(extensions.begin(), extensions.end(), extension);
}

// `subfolder` below its root's own name: "Music/Artist/Album" found under "Music" is
// "Artist/Album".
std::string BelowRoot(const std::string& subfolder) {
  const std::size_t slash = subfolder.find('/');
  return slash == std::string::npos ? std::string() : subfolder.substr(slash + 1);
}

}  // namespace

std::optional<std::vector<Source>> CollectSources(const Options& options, const std::function<bool()>& stop,
                                                  std::string& error) {
  const std::vector<std::string> extensions = platform::mmstream::MediaFileExtensions();
  std::vector<Source> sources;
  for (const std::string& given : options.sources) {
    if (stop()) return sources;
    std::error_code ignored;
    if (!std::filesystem::is_directory(given, ignored)) {
      sources.push_back({given, {}, {}});
      continue;
    }
    std::string root = given;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    for (const core::AddedFile& file : core::CollectAddedFiles({given}, extensions))
      sources.push_back({file.path, root, BelowRoot(file.subfolder)});
  }
  if (!options.filesFrom.empty()) {
    const auto listed = ReadList(options.filesFrom, options.nullSeparated, error);
    if (!listed) return std::nullopt;
    for (const std::string& path : *listed) {
      if (stop()) return sources;
      // A list is a listing, like a folder's: what is not a media file is passed over.
      if (IsMediaFile(path, extensions)) sources.push_back({path, {}, {}});
    }
  }
  return sources;
}

std::string OutputPathOf(const Options& options, const Source& source, std::size_t sourceCount,
                         const core::NameFields* fields) {
  namespace fs = std::filesystem;
  // The folder the MP3 goes to: the output folder, else the source's own (or its named folder's,
  // when a pattern builds the rest).
  const auto base = [&]() -> fs::path {
    if (!options.output.empty()) return fs::path(options.output);
    if (fields != nullptr && !source.root.empty()) return fs::path(source.root);
    return fs::path(source.path).parent_path();
  };
  if (fields != nullptr) {
    std::string error;
    const auto pattern = core::NamePattern::Parse(options.namePattern, error);
    return (base() / pattern->Expand(*fields)).lexically_normal().string();
  }
  if (options.relative) {
    // As cp --parents does: the source's path as given, below the output folder.
    fs::path given = fs::path(source.path).lexically_normal().relative_path();
    given.replace_filename(core::Mp3FileNameFor(source.path));
    return (fs::path(options.output.empty() ? "." : options.output) / given).lexically_normal().string();
  }
  if (!source.root.empty() && !options.output.empty()) {
    fs::path below = fs::path(options.output);
    if (!source.subfolder.empty()) below /= source.subfolder;
    return (below / core::Mp3FileNameFor(source.path)).string();
  }
  return OutputPathFor(source.path, options.output, sourceCount == 1 && source.root.empty());
}

}  // namespace convert
