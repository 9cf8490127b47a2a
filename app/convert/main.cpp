// tavisto-convert: converts media files to MP3 from the command line through the same pipeline
// and settings mapping as the desktop program's conversion run.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

#include "app/convert/convert_options.h"
#include "app/convert/file_converter.h"
#include "engine/ACS_DX9.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

std::string Clock(std::int64_t units) {
  const std::int64_t seconds = units / 10'000'000;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

// Why `output` must not be written for `source`, or "" when it may.
std::string RefusalFor(const std::string& source, const std::string& output, bool force) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::exists(output, ec)) return "";
  if (fs::equivalent(source, output, ec)) return "the MP3 file would replace its own source \"" + output + "\"";
  if (!force) return "\"" + output + "\" exists (use --force to replace it)";
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = convert::ParseOptions({argv + 1, argv + argc}, error);
  if (!options) {
    std::fprintf(stderr, "tavisto-convert: %s\nTry 'tavisto-convert --help' for more information.\n", error.c_str());
    return 2;
  }
  if (options->help) {
    std::fputs(convert::HelpText().c_str(), stdout);
    return 0;
  }
  if (const auto problem = engine::StartDecoding()) {
    std::fprintf(stderr, "tavisto-convert: %s\n", problem->c_str());
    return 1;
  }

  platform::PlainDispatcher mainThread;
  platform::SetMainDispatcher(&mainThread);
  std::unique_ptr<convert::FileConverter> converter;
  try {
    converter = std::make_unique<convert::FileConverter>(mainThread);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavisto-convert: %s\n", e.what());
    return 1;
  }
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);

  const bool showProgress = !options->quiet && isatty(STDERR_FILENO);
  const int count = static_cast<int>(options->sources.size());
  int failures = 0;
  for (int i = 0; i < count && !interrupted; ++i) {
    const std::string& source = options->sources[static_cast<std::size_t>(i)];
    const std::string output = convert::OutputPathFor(source, options->output, count == 1);
    engine::TTaskEncoding encoding = options->encoding;
    convert::FillTags(encoding, options->tags, source);

    std::string failure = RefusalFor(source, output, options->force);
    if (failure.empty()) {
      const auto progress = [&](std::int64_t position, std::int64_t duration) {
        if (!showProgress) return;
        const int percent = duration > 0 ? static_cast<int>(std::min<std::int64_t>(100, position * 100 / duration)) : 0;
        std::fprintf(stderr, "\r\033[K[%d/%d] %s  %3d%%  %s / %s", i + 1, count, source.c_str(), percent,
                     Clock(position).c_str(), Clock(duration).c_str());
        std::fflush(stderr);
      };
      failure = converter->Convert(source, output, encoding, progress, [] { return interrupted != 0; });
      if (showProgress) std::fputs("\r\033[K", stderr);
    }
    if (!failure.empty()) {
      ++failures;
      std::fprintf(stderr, "tavisto-convert: %s: %s\n", source.c_str(), failure.c_str());
    } else if (!options->quiet) {
      std::printf("%s -> %s%s\n", source.c_str(), output.c_str(), interrupted ? " (stopped)" : "");
    }
  }
  converter.reset();
  platform::SetMainDispatcher(nullptr);
  engine::StopDecoding();
  if (interrupted) {
    std::fprintf(stderr, "tavisto-convert: interrupted\n");
    return 130;
  }
  return failures > 0 ? 1 : 0;
}
