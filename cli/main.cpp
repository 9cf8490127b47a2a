// tavisto-convert: converts media files to MP3 from the command line through the same pipeline
// and settings mapping as the desktop program's conversion run.
#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <set>

#include "cli/command_line.h"
#include "cli/file_converter.h"
#include "core/output_name.h"
#include "engine/decoded_input.h"
#include "platform/paths/path_names.h"

namespace {

// Exit statuses, as --help lists them.
constexpr int kAllConverted = 0;
constexpr int kSomeFailed = 1;
constexpr int kUsageError = 2;
constexpr int kShorterThanDeclared = 3;
constexpr int kInterrupted = 130;

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
  interrupted = 1;
  // A read that waits (a slow disk, a network file system) gives up at once.
  engine::InterruptDecoding();
}

// Without SA_RESTART a system call the signal interrupts returns instead of going on waiting.
void InstallInterruptHandlers() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

std::string Clock(std::int64_t units) {
  const std::int64_t seconds = units / 10'000'000;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

// True when something stands under `path`: a file, a folder, or a link (even one that points
// nowhere, which an MP3 must not be written through).
bool NameTaken(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// Why `output` must not be written for `source`, or "" when it may.
std::string RefusalFor(const std::string& source, const std::string& output, bool force) {
  if (!NameTaken(output)) return "";
  if (platform::SameFile(source, output)) return "the MP3 file would replace its own source \"" + output + "\"";
  if (!force) return "\"" + output + "\" exists (use --force to replace it)";
  return "";
}

// Where each source's MP3 goes. Two sources of one run never share an output: a name an earlier
// source of the run takes is numbered for the later one ("song (2).mp3"), past files that exist
// unless they may be replaced.
std::vector<std::string> PlanOutputs(const convert::Options& options) {
  std::vector<std::string> outputs;
  std::set<std::string> claimed;
  const bool single = options.sources.size() == 1;
  for (const std::string& source : options.sources) {
    std::string output = convert::OutputPathFor(source, options.output, single);
    if (claimed.count(output) > 0) {
      output = FirstFreeName(output, [&](const std::string& candidate) {
        return claimed.count(candidate) > 0 || (!options.force && NameTaken(candidate));
      });
    }
    claimed.insert(output);
    outputs.push_back(output);
  }
  return outputs;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = convert::ParseOptions({argv + 1, argv + argc}, error);
  if (!options) {
    std::fprintf(stderr, "tavisto-convert: %s\nTry 'tavisto-convert --help' for more information.\n", error.c_str());
    return kUsageError;
  }
  if (options->help) {
    std::fputs(convert::HelpText().c_str(), stdout);
    return kAllConverted;
  }
  if (const auto problem = engine::StartDecoding()) {
    std::fprintf(stderr, "tavisto-convert: %s\n", problem->c_str());
    return kSomeFailed;
  }

  platform::PlainDispatcher mainThread;
  platform::SetMainDispatcher(&mainThread);
  std::unique_ptr<convert::FileConverter> converter;
  try {
    converter = std::make_unique<convert::FileConverter>(mainThread);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavisto-convert: %s\n", e.what());
    return kSomeFailed;
  }
  InstallInterruptHandlers();

  const bool showProgress = !options->quiet && isatty(STDERR_FILENO);
  const int count = static_cast<int>(options->sources.size());
  const std::vector<std::string> outputs = PlanOutputs(*options);
  int failures = 0;
  int warnings = 0;
  for (int i = 0; i < count && !interrupted; ++i) {
    const std::string& source = options->sources[static_cast<std::size_t>(i)];
    const std::string& output = outputs[static_cast<std::size_t>(i)];
    const std::string planned = convert::OutputPathFor(source, options->output, count == 1);
    engine::EncodingSettings encoding = options->encoding;
    convert::FillTags(encoding, options->tags, source);

    convert::ConversionResult result;
    result.error = RefusalFor(source, output, options->force);
    if (result.error.empty()) {
      const auto progress = [&](std::int64_t position, std::int64_t duration) {
        if (!showProgress) return;
        const int percent = duration > 0 ? static_cast<int>(std::min<std::int64_t>(100, position * 100 / duration)) : 0;
        std::fprintf(stderr, "\r\033[K[%d/%d] %s  %3d%%  %s / %s", i + 1, count, source.c_str(), percent,
                     Clock(position).c_str(), Clock(duration).c_str());
        std::fflush(stderr);
      };
      result = converter->Convert(source, output, encoding, options->force, progress,
                                  [] { return interrupted != 0; });
      if (showProgress) std::fputs("\r\033[K", stderr);
    }
    switch (result.outcome) {
      case convert::ConversionResult::Outcome::Stopped:
        break;  // nothing was written, and the run ends
      case convert::ConversionResult::Outcome::Failed:
        ++failures;
        std::fprintf(stderr, "tavisto-convert: %s: %s\n", source.c_str(), result.error.c_str());
        break;
      case convert::ConversionResult::Outcome::Converted: {
        std::string notes;
        if (output != planned) notes += " (" + planned + " is the output of another source of this run)";
        if (result.warning) {
          ++warnings;
          notes += " (warning: " + *result.warning + ")";
        }
        if (!options->quiet) {
          std::printf("%s -> %s%s\n", source.c_str(), output.c_str(), notes.c_str());
        } else if (result.warning) {
          std::fprintf(stderr, "tavisto-convert: %s: warning: %s\n", source.c_str(), result.warning->c_str());
        }
        break;
      }
    }
  }
  converter.reset();
  platform::SetMainDispatcher(nullptr);
  engine::StopDecoding();
  if (interrupted) {
    std::fprintf(stderr, "tavisto-convert: interrupted\n");
    return kInterrupted;
  }
  if (failures > 0) return kSomeFailed;
  return warnings > 0 ? kShorterThanDeclared : kAllConverted;
}
