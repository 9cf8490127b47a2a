// tavisto-convert: converts media files to MP3 from the command line through the same run engine
// and settings as the desktop program, several files at once.
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <cerrno>
#include <cstdio>
#include <string>

#include "cli/command_line.h"
#include "cli/report.h"
#include "core/conversion_run.h"
#include "core/library.h"
#include "core/tag_probe.h"
#include "core/tags/source_tags.h"
#include "core/settings.h"
#include "engine/conversion.h"
#include "platform/dispatcher.h"
#include "platform/memory_use.h"
#include "platform/signal_watcher.h"
#include "platform/utf8.h"

namespace {

// Exit statuses, as --help lists them.
constexpr int kAllConverted = 0;
constexpr int kSomeFailed = 1;
constexpr int kUsageError = 2;
constexpr int kConvertedWithWarning = 3;
constexpr int kStoppedBySignal = 128;  // + the signal's number

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
  bool outputClosed = false;  // standard output went away: nothing more can be reported there
};

// Prints a line on standard output; false when it can no longer be written (a closed pipe).
bool PrintLine(const std::string& line) {
  return std::fputs(line.c_str(), stdout) >= 0 && std::fputc('\n', stdout) != EOF && std::fflush(stdout) == 0;
}

// The --report row of an item that ended, when it did.
std::optional<convert::ReportRow> RowOf(const core::ConversionRun& run, int item) {
  const core::ItemReport& report = run.Report(item);
  convert::ReportRow row;
  row.source = run.Item(item).sourceFile;
  row.output = report.outputFile;
  if (run.Length(item) > 0) row.duration = static_cast<double>(run.Length(item)) / 1e7;
  switch (report.state) {
    case core::ItemState::Done:
      row.status = "converted";
      row.warning = report.warning;
      row.verified = report.verified;
      return row;
    case core::ItemState::Failed:
      row.status = "failed";
      row.reason = report.reason;
      return row;
    case core::ItemState::Skipped:
      row.status = report.skip == core::SkipReason::UpToDate ? "up-to-date" : "skipped";
      row.reason = report.skip == core::SkipReason::OutputExists ? "\"" + report.outputFile + "\" exists" : report.reason;
      return row;
    case core::ItemState::Cancelled:
    case core::ItemState::Waiting:
    case core::ItemState::Asking:
    case core::ItemState::Converting:
      return std::nullopt;
  }
  return std::nullopt;
}

void Report(const core::ConversionRun& run, int item, const core::RunItem& planned, bool quiet, Tally& tally) {
  const core::ItemReport& report = run.Report(item);
  const std::string& source = run.Item(item).sourceFile;
  switch (report.state) {
    case core::ItemState::Done: {
      std::string notes;
      if (report.renamed) notes += " (" + planned.outputFile + " is taken by another file of this run)";
      if (report.warning) {
        ++tally.warnings;
        notes += " (warning: " + *report.warning + ")";
      }
      if (!quiet) {
        if (!tally.outputClosed && !PrintLine(source + " -> " + report.outputFile + notes)) tally.outputClosed = true;
      } else if (report.warning) {
        std::fprintf(stderr, "tavisto-convert: %s: warning: %s\n", source.c_str(), report.warning->c_str());
      }
      break;
    }
    case core::ItemState::Failed:
      ++tally.failures;
      std::fprintf(stderr, "tavisto-convert: %s: %s\n", source.c_str(), report.reason.c_str());
      break;
    case core::ItemState::Skipped:
      if (report.skip == core::SkipReason::UpToDate) break;  // the usual case of --update: no line
      if (report.skip == core::SkipReason::SameSource || report.skip == core::SkipReason::ClaimedElsewhere) {
        if (!quiet) std::fprintf(stderr, "tavisto-convert: %s: %s\n", source.c_str(), report.reason.c_str());
        break;
      }
      // Only an existing output skips an item otherwise: it is never replaced without --force.
      ++tally.failures;
      std::fprintf(stderr, "tavisto-convert: %s: \"%s\" exists (use --force to replace it)\n", source.c_str(),
                   report.outputFile.c_str());
      break;
    case core::ItemState::Waiting:
    case core::ItemState::Asking:
    case core::ItemState::Converting:
    case core::ItemState::Cancelled:
      break;  // a cancelled item wrote nothing, and the run ends
  }
}

// The first `columns` characters of `line`.
std::string CutToColumns(const std::string& line, std::size_t columns) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < line.size();) {
    if (count == columns) return line.substr(0, i);
    const std::size_t length = platform::Utf8SequenceLength(line, i);
    i += length == 0 ? 1 : length;
    ++count;
  }
  return line;
}

std::size_t TerminalColumns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// "[2/8] song.wma 45% 0:01:10 / 0:03:25, talk.wmv 12% ...": the items converting now, cut to the
// terminal's width so that it never wraps.
std::string ProgressLine(const core::ConversionRun& run) {
  int ended = 0;
  for (int item = 0; item < run.Count(); ++item) {
    const core::ItemState state = run.Report(item).state;
    if (state != core::ItemState::Waiting && state != core::ItemState::Converting && state != core::ItemState::Asking)
      ++ended;
  }
  std::string line = "[" + std::to_string(ended) + "/" + std::to_string(run.Count()) + "]";
  for (int item : run.Converting()) {
    const std::int64_t position = run.Position(item), length = run.Length(item);
    const int percent = length > 0 ? static_cast<int>(std::min<std::int64_t>(100, position * 100 / length)) : 0;
    line += " " + run.Item(item).sourceFile + " " + std::to_string(percent) + "% " + Clock(position) + " / " +
            Clock(length);
  }
  return CutToColumns(line, TerminalColumns() - 1);
}

}  // namespace

int main(int argc, char** argv) {
  platform::ReturnLargeBlocksWhenFreed();
  // Before any thread starts: every thread after this leaves these signals to the watcher.
  platform::EventLoop loop;
  std::atomic<int> stopSignal{0};
  std::atomic<core::ConversionRun*> running{nullptr};
  platform::SignalWatcher stopSignals({SIGINT, SIGTERM, SIGHUP, SIGPIPE}, [&](int signo) {
    if (stopSignal.exchange(signo) != 0) return;
    loop.Post([&running] {
      if (core::ConversionRun* run = running.load()) run->Cancel();
    });
    // A read that waits (a slow disk, a network file system) gives up at once; the cancel above
    // is queued first, so such a failure counts as the cancel it is.
    engine::InterruptDecoding();
  });

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
  if (const auto problem = engine::EncoderProblem()) {
    std::fprintf(stderr, "tavisto-convert: %s\n", problem->c_str());
    return kSomeFailed;
  }

  const auto stopped = [&stopSignal] { return stopSignal.load() != 0; };
  const auto sources = convert::CollectSources(*options, stopped, error);
  if (!sources) {
    std::fprintf(stderr, "tavisto-convert: %s\n", error.c_str());
    return kUsageError;
  }
  // An output folder is made when it is missing, and so are the folders below it that the
  // sources' own folders, -R or --name give.
  std::error_code ignored;
  const bool intoFolder = !options->output.empty() &&
                          (options->output.back() == '/' || std::filesystem::is_directory(options->output, ignored) ||
                           sources->size() != 1 || !options->namePattern.empty() || options->relative ||
                           !sources->front().root.empty());
  std::vector<core::RunItem> items;
  for (const convert::Source& source : *sources) {
    if (stopped()) break;
    core::RunItem item;
    item.sourceFile = source.path;
    std::optional<core::NameFields> fields;
    if (!options->namePattern.empty()) {
      // The names come from the tags: read now, the texts only.
      const core::ProbedTags found = core::ProbeTags(source.path);
      const core::ShownTags shown = core::ShownTagsOf(found, source.path);
      fields = core::NameFields{options->tags.artist.value_or(shown.artist),
                                options->tags.albumArtist.value_or(shown.albumArtist),
                                options->tags.album.value_or(shown.album),
                                options->tags.title.value_or(found.title),
                                options->tags.year.value_or(shown.year),
                                options->tags.genre.value_or(shown.genre),
                                found.track,
                                found.disc,
                                std::filesystem::path(source.path).stem().string(),
                                source.subfolder};
      if (options->tags.track) {
        int total = 0;
        tags::ParsePosition(*options->tags.track, fields->track, total);
      }
    }
    item.outputFile = convert::OutputPathOf(*options, source, sources->size(), fields ? &*fields : nullptr);
    item.encoding = options->encoding;
    item.tags = options->tags;
    // A mono source stays mono unless a mode was asked for.
    item.monoStaysMono = !options->modeGiven;
    item.makeFolders = intoFolder || fields.has_value();
    item.updateOnly = options->update;
    item.verify = options->verify;
    item.replayGain = options->replayGain;
    item.claim = options->update;
    items.push_back(std::move(item));
  }
  if (stopped()) {
    std::fprintf(stderr, "tavisto-convert: interrupted\n");
    return kStoppedBySignal + stopSignal.load();
  }
  if (items.empty()) {
    // A list may hold no media file at all (a share of a library split across processes);
    // named files and folders without one are a mistake worth a word.
    if (options->sources.empty()) return kAllConverted;
    std::fprintf(stderr, "tavisto-convert: no media files found\n");
    return kSomeFailed;
  }
  std::unique_ptr<convert::ReportFile> reportFile;
  if (!options->report.empty()) {
    reportFile = std::make_unique<convert::ReportFile>(options->report);
    if (reportFile->Failed()) {
      std::fprintf(stderr, "tavisto-convert: cannot write the report \"%s\": %s\n", options->report.c_str(),
                   std::strerror(errno));
      return kUsageError;
    }
  }
  // The report on standard output takes the place of the lines for converted files.
  const bool quiet = options->quiet || options->report == "-";
  const std::vector<core::RunItem> planned = items;

  Tally tally;
  const bool showProgress = !quiet && isatty(STDERR_FILENO);
  core::ConversionRun::Handlers handlers;
  std::unique_ptr<core::ConversionRun> run;
  handlers.itemChanged = [&](int item) {
    if (showProgress) std::fputs("\r\033[K", stderr);
    const bool wasClosed = tally.outputClosed;
    Report(*run, item, planned[static_cast<std::size_t>(item)], quiet, tally);
    if (reportFile) {
      if (const auto row = RowOf(*run, item)) reportFile->Write(*row);
    }
    // Nobody reads the lines any more: the run stops as it does for a signal.
    if (tally.outputClosed && !wasClosed && stopSignal.exchange(SIGPIPE) == 0) run->Cancel();
  };
  handlers.collision = [&run, force = options->force](int item, const std::string&) {
    run->AnswerCollision(item, force ? core::CollisionAnswer::Replace : core::CollisionAnswer::Skip);
  };
  const int jobs = options->jobs > 0 ? options->jobs : core::DefaultJobCount();
  run = std::make_unique<core::ConversionRun>(std::move(items), jobs, loop, handlers);
  running = run.get();
  if (stopSignal == 0) run->Start();

  while (!run->Finished() && !(stopSignal != 0 && !run->Cancelled() && run->Converting().empty())) {
    loop.RunUntil([&] { return run->Finished(); }, std::chrono::milliseconds(100));
    if (showProgress && !run->Finished()) {
      std::fprintf(stderr, "\r\033[K%s", ProgressLine(*run).c_str());
      std::fflush(stderr);
    }
  }
  if (showProgress) std::fputs("\r\033[K", stderr);
  running = nullptr;
  const bool completed = run->Finished() && !run->Cancelled();
  run.reset();
  // MP3 files whose sources are gone: only those this program made, from a source below one of
  // the named folders, and only after a run that went through.
  if (options->prune && completed && stopSignal.load() == 0) {
    std::vector<std::string> roots;
    for (const std::string& given : options->sources) {
      if (!std::filesystem::is_directory(given, ignored)) continue;
      std::string root = std::filesystem::absolute(given, ignored).lexically_normal().string();
      if (root.back() != '/') root += '/';
      roots.push_back(root);
    }
    std::vector<std::string> scanned = options->output.empty() ? options->sources : std::vector<std::string>{options->output};
    for (const std::string& folder : scanned) {
      for (const std::string& orphan : core::OrphanedMp3Files(folder, roots)) {
        if (std::remove(orphan.c_str()) != 0) {
          ++tally.failures;
          std::fprintf(stderr, "tavisto-convert: cannot remove \"%s\": %s\n", orphan.c_str(), std::strerror(errno));
          continue;
        }
        if (!quiet) PrintLine("removed " + orphan + " (its source is gone)");
        if (reportFile) reportFile->Write({std::nullopt, orphan, "removed", std::string("its source is gone"), {}, {}, {}});
      }
    }
  }
  if (const int signo = stopSignal.load(); signo != 0) {
    if (signo != SIGPIPE) std::fprintf(stderr, "tavisto-convert: interrupted\n");
    return kStoppedBySignal + signo;
  }
  if (tally.failures > 0) return kSomeFailed;
  return tally.warnings > 0 ? kConvertedWithWarning : kAllConverted;
}
