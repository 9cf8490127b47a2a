#include "cli/command_line.h"

#include "core/tag_probe.h"
#include "core/tags/source_tags.h"
#include "core/version.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

namespace convert {

namespace {

constexpr int kBitRates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320};

std::optional<int> ParseBitRate(const std::string& text) {
  if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), ::isdigit)) return std::nullopt;
  const int value = std::stoi(text);
  if (std::find(std::begin(kBitRates), std::end(kBitRates), value) == std::end(kBitRates)) return std::nullopt;
  return value;
}

// "3" or "3/12": a track number, with the total after a slash.
bool IsPosition(const std::string& text) {
  const auto slash = text.find('/');
  const auto digits = [](const std::string& part) {
    return !part.empty() && part.size() <= 6 && std::all_of(part.begin(), part.end(), ::isdigit);
  };
  if (slash == std::string::npos) return digits(text) && std::stoi(text) > 0;
  return digits(text.substr(0, slash)) && std::stoi(text.substr(0, slash)) > 0 && digits(text.substr(slash + 1));
}

const std::map<std::string, int> kModes = {{"dual", 0}, {"stereo", 1}, {"joint", 2}, {"mono", 3}};

}  // namespace

std::string HelpText() {
  return R"(Usage: tavisto-convert [OPTION]... SOURCE...
Convert media files (WMA, WMV, ASF and anything else FFmpeg decodes) to MP3 with LAME, the
same way the Tavisto desktop program does.

Output:
  -o, --output PATH    the MP3 file for a single SOURCE, or the folder for the MP3 files
                       (a folder when it exists or ends with "/"); default: beside each
                       source, with its name and the extension .mp3
  -f, --force          replace existing MP3 files (a source is never replaced)
  -j, --jobs N         convert N files at once (default: one per processor core)

MP3 settings:
  -b, --bitrate KBPS   constant bit rate: 8 16 24 32 40 48 56 64 80 96 112 128 144 160 192
                       224 256 320 (default 192)
      --vbr MIN-MAX    variable bit rate between MIN and MAX kbps, e.g. 128-256
  -r, --rate HZ        sample rate of the MP3: 32000, 44100 or 48000 (default 44100)
  -m, --mode MODE      channel mode: joint (default), stereo, dual or mono

Tags (ID3v2 at the start of the MP3, ID3v1 at its end). Each defaults to the source's own
tag, and the title to the file name without its extension; the composer, the disc number and
the front cover picture are always the source's own:
      --title TEXT  --artist TEXT  --album-artist TEXT  --album TEXT  --year TEXT
      --track N[/TOTAL]  --comment TEXT  --genre TEXT
      --no-cover       leave the source's cover picture out

Other:
  -q, --quiet          no progress line, and no line for converted files
  -h, --help           show this help
      --version        show the version

Each converted file gets a line "SOURCE -> MP3" when it is done (with several files at once, in
the order they finish). An MP3 file appears under its name only once
it is complete: a file that fails, or a run stopped with Ctrl-C, leaves nothing under it. When
two sources of one run would give the same MP3 name, the later one is numbered ("song (2).mp3").

Exit status:
  0    every file was converted
  1    a file could not be converted (each one is named, with the reason, on stderr)
  2    a usage error
  3    every file was converted, but a file came out shorter than its source declares (its line
       says so: the source is probably damaged or cut short)
  130  interrupted (Ctrl-C or SIGTERM); the file in progress is not kept
)";
}

std::string VersionText() {
  return std::string("tavisto-convert ") + ProductVersion + R"(
Converts media files to MP3 with FFmpeg and LAME, as the Tavisto desktop program does.
)";
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  Options options;
  std::map<std::string, std::function<bool(const std::string&)>> withValue = {
      {"--output", [&](const std::string& v) { options.output = v; return !v.empty(); }},
      {"--bitrate",
       [&](const std::string& v) {
         const auto rate = ParseBitRate(v);
         if (rate) options.encoding.bitrate = *rate;
         return rate.has_value();
       }},
      {"--vbr",
       [&](const std::string& v) {
         const auto dash = v.find('-');
         if (dash == std::string::npos) return false;
         const auto low = ParseBitRate(v.substr(0, dash)), high = ParseBitRate(v.substr(dash + 1));
         if (!low || !high) return false;
         options.encoding.vbr = true;
         options.encoding.vbrMinBitrate = *low;
         options.encoding.vbrMaxBitrate = *high;
         return true;
       }},
      {"--rate",
       [&](const std::string& v) {
         if (v != "32000" && v != "44100" && v != "48000") return false;
         options.encoding.sampleRate = std::stoi(v);
         return true;
       }},
      {"--mode",
       [&](const std::string& v) {
         const auto mode = kModes.find(v);
         if (mode == kModes.end()) return false;
         options.encoding.channelMode = mode->second;
         return true;
       }},
      {"--jobs",
       [&](const std::string& v) {
         if (v.empty() || v.size() > 2 || !std::all_of(v.begin(), v.end(), ::isdigit)) return false;
         options.jobs = std::stoi(v);
         return options.jobs >= 1 && options.jobs <= 64;
       }},
      {"--title", [&](const std::string& v) { options.tags.title = v; return true; }},
      {"--artist", [&](const std::string& v) { options.tags.artist = v; return true; }},
      {"--album-artist", [&](const std::string& v) { options.tags.albumArtist = v; return true; }},
      {"--album", [&](const std::string& v) { options.tags.album = v; return true; }},
      {"--track",
       [&](const std::string& v) {
         options.tags.track = v;
         return IsPosition(v);
       }},
      {"--year", [&](const std::string& v) { options.tags.year = v; return true; }},
      {"--comment", [&](const std::string& v) { options.tags.comment = v; return true; }},
      {"--genre", [&](const std::string& v) { options.tags.genre = v; return true; }},
  };
  const std::map<std::string, std::string> shortNames = {{"-o", "--output"}, {"-b", "--bitrate"}, {"-r", "--rate"},
                                                         {"-m", "--mode"},   {"-f", "--force"},   {"-q", "--quiet"},
                                                         {"-h", "--help"},   {"-j", "--jobs"}};
  bool onlySources = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (onlySources || arg == "-" || arg.empty() || arg[0] != '-') {
      options.sources.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlySources = true;
      continue;
    }
    std::optional<std::string> inlineValue;
    if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      inlineValue = arg.substr(eq + 1);
      arg.resize(eq);
    }
    if (const auto s = shortNames.find(arg); s != shortNames.end()) arg = s->second;
    if (arg == "--no-cover") {
      if (inlineValue) {
        error = "option " + arg + " takes no value";
        return std::nullopt;
      }
      options.tags.noCover = true;
      continue;
    }
    if (arg == "--force" || arg == "--quiet" || arg == "--help" || arg == "--version") {
      if (inlineValue) {
        error = "option " + arg + " takes no value";
        return std::nullopt;
      }
      (arg == "--force" ? options.force : arg == "--quiet" ? options.quiet : arg == "--help" ? options.help
                                                                                             : options.version) = true;
      continue;
    }
    const auto handler = withValue.find(arg);
    if (handler == withValue.end()) {
      error = "unknown option " + args[i];
      return std::nullopt;
    }
    if (!inlineValue && i + 1 >= args.size()) {
      error = "option " + arg + " needs a value";
      return std::nullopt;
    }
    const std::string value = inlineValue ? *inlineValue : args[++i];
    if (!handler->second(value)) {
      error = "invalid value \"" + value + "\" for " + arg;
      return std::nullopt;
    }
  }
  if (!options.help && !options.version && options.sources.empty()) {
    error = "no source file given";
    return std::nullopt;
  }
  return options;
}

void FillTags(engine::EncodingSettings& encoding, const TagTexts& given, const std::string& source) {
  const ProbedTags found = ProbeTags(source);
  const auto first = [](const std::string& a, const std::string& b) { return !a.empty() ? a : b; };
  engine::Mp3Tags& out = encoding.tags;
  out = {};
  out.title = given.title.value_or(first(found.title, std::filesystem::path(source).stem().string()));
  out.artist = given.artist.value_or(first(found.artist, found.author));
  out.albumArtist = given.albumArtist.value_or(found.albumArtist);
  out.album = given.album.value_or(found.album);
  out.date = given.year.value_or(found.year);
  out.comment = given.comment.value_or(first(found.comment, found.copyright));
  out.genre = given.genre.value_or(found.genre);
  out.composer = found.composer;
  if (given.track) {
    tags::ParsePosition(*given.track, out.track, out.trackTotal);
  } else {
    out.track = found.track;
    out.trackTotal = found.trackTotal;
  }
  out.disc = found.disc;
  out.discTotal = found.discTotal;
  if (found.coverBytes > 0 && !given.noCover) out.cover = [source] { return ReadCover(source); };
}

std::string OutputPathFor(const std::string& source, const std::string& output, bool singleSource) {
  namespace fs = std::filesystem;
  const fs::path name = fs::path(source).filename().replace_extension(".mp3");
  if (output.empty()) return (fs::path(source).parent_path() / name).string();
  std::error_code ignored;
  const bool folder = output.back() == '/' || fs::is_directory(output, ignored) || !singleSource;
  return folder ? (fs::path(output) / name).string() : output;
}

}  // namespace convert
