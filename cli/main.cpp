// tavisto-convert: converts media files to MP3 from the command line through the same run engine
// and settings as the desktop program, several files at once.
#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "cli/command_line.h"
#include "core/conversion_run.h"
#include "engine/decoded_input.h"

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

// What the run prints and counts as items end.
struct Tally {
  int failures = 0;
  int warnings = 0;
};

void Report(const ConversionRun& run, int item, const RunItem& planned, bool quiet, Tally& tally) {
  const ItemReport& report = run.Report(item);
  const std::string& source = run.Item(item).sourceFile;
  switch (report.state) {
    case ItemState::Done: {
      std::string notes;
      if (report.renamed) notes += " (" + planned.outputFile + " is the output of another source of this run)";
      if (report.warning) {
        ++tally.warnings;
        notes += " (warning: " + *report.warning + ")";
      }
      if (!quiet) {
        std::printf("%s -> %s%s\n", source.c_str(), report.outputFile.c_str(), notes.c_str());
        std::fflush(stdout);
      } else if (report.warning) {
        std::fprintf(stderr, "tavisto-convert: %s: warning: %s\n", source.c_str(), report.warning->c_str());
      }
      break;
    }
    case ItemState::Failed:
      ++tally.failures;
      std::fprintf(stderr, "tavisto-convert: %s: %s\n", source.c_str(), report.reason.c_str());
      break;
    case ItemState::Skipped:
      // Only an existing output skips an item here: it is never replaced without --force.
      ++tally.failures;
      std::fprintf(stderr, "tavisto-convert: %s: \"%s\" exists (use --force to replace it)\n", source.c_str(),
                   report.outputFile.c_str());
      break;
    case ItemState::Waiting:
    case ItemState::Converting:
    case ItemState::Cancelled:
      break;  // a cancelled item wrote nothing, and the run ends
  }
}

// "[2/8] song.wma 45% 0:01:10 / 0:03:25, talk.wmv 12% ...": the items converting now.
std::string ProgressLine(const ConversionRun& run) {
  int ended = 0;
  for (int item = 0; item < run.Count(); ++item) {
    const ItemState state = run.Report(item).state;
    if (state != ItemState::Waiting && state != ItemState::Converting) ++ended;
  }
  std::string line = "[" + std::to_string(ended) + "/" + std::to_string(run.Count()) + "]";
  for (int item : run.Converting()) {
    const std::int64_t position = run.Position(item), length = run.Length(item);
    const int percent = length > 0 ? static_cast<int>(std::min<std::int64_t>(100, position * 100 / length)) : 0;
    line += " " + run.Item(item).sourceFile + " " + std::to_string(percent) + "% " + Clock(position) + " / " +
            Clock(length);
  }
  return line;
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
  if (options->version) {
    std::fputs(convert::VersionText().c_str(), stdout);
    return kAllConverted;
  }
  if (const auto problem = engine::StartDecoding()) {
    std::fprintf(stderr, "tavisto-convert: %s\n", problem->c_str());
    return kSomeFailed;
  }
  // Without the encoder nothing can be converted: say so once, not once per file.
  try {
    engine::MakeMp3Output();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavisto-convert: %s\n", e.what());
    return kSomeFailed;
  }

  platform::PlainDispatcher mainThread;
  platform::SetMainDispatcher(&mainThread);
  InstallInterruptHandlers();

  std::vector<RunItem> items;
  const bool single = options->sources.size() == 1;
  for (const std::string& source : options->sources) {
    RunItem item;
    item.sourceFile = source;
    item.outputFile = convert::OutputPathFor(source, options->output, single);
    item.encoding = options->encoding;
    convert::FillTags(item.encoding, options->tags, source);
    items.push_back(std::move(item));
  }
  const std::vector<RunItem> planned = items;

  Tally tally;
  const bool showProgress = !options->quiet && isatty(STDERR_FILENO);
  ConversionRun::Handlers handlers;
  std::unique_ptr<ConversionRun> run;
  handlers.itemChanged = [&](int item) {
    if (showProgress) std::fputs("\r\033[K", stderr);
    Report(*run, item, planned[static_cast<std::size_t>(item)], options->quiet, tally);
  };
  handlers.collision = [force = options->force](int, const std::string&) {
    return force ? CollisionAnswer::Replace : CollisionAnswer::Skip;
  };
  run = std::make_unique<ConversionRun>(std::move(items),
                                        options->jobs > 0 ? options->jobs : ConversionRun::DefaultJobs(), handlers);
  run->Start();

  auto nextLine = std::chrono::steady_clock::now();
  mainThread.RunUntil([&] {
    if (interrupted && !run->Cancelled()) run->Cancel();
    if (showProgress && std::chrono::steady_clock::now() >= nextLine) {
      nextLine = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
      std::fprintf(stderr, "\r\033[K%s", ProgressLine(*run).c_str());
      std::fflush(stderr);
    }
    return run->Finished();
  });
  if (showProgress) std::fputs("\r\033[K", stderr);
  run.reset();
  platform::SetMainDispatcher(nullptr);
  engine::StopDecoding();
  if (interrupted) {
    std::fprintf(stderr, "tavisto-convert: interrupted\n");
    return kInterrupted;
  }
  if (tally.failures > 0) return kSomeFailed;
  return tally.warnings > 0 ? kShorterThanDeclared : kAllConverted;
}
