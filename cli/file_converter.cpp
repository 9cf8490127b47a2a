#include "cli/file_converter.h"

#include <chrono>
#include <mutex>

#include "engine/decoded_input.h"

namespace convert {

FileConverter::FileConverter(platform::PlainDispatcher& mainThread)
    : main_(mainThread), out_(engine::MakeMp3Output()) {}

FileConverter::~FileConverter() = default;

ConversionResult FileConverter::Convert(const std::string& source, const std::string& output,
                                        const engine::EncodingSettings& encoding, bool replaceExisting,
                                        const Progress& progress, const StopRequested& stop) {
  using Outcome = ConversionResult::Outcome;
  engine::DecodedInput input(nullptr);
  input.fileName = source;
  try {
    input.OpenFile();
  } catch (const std::exception& e) {
    // An open cut short by a stop request failed because of it.
    if (stop && stop()) return {Outcome::Stopped, {}, {}};
    return {Outcome::Failed, e.what(), {}};
  }
  engine::ConfigureMp3Output(*out_, encoding);
  out_->fileName = output;
  out_->replaceExisting = replaceExisting;
  out_->SetInput(&input);

  bool done = false;
  std::mutex errorMutex;
  std::string error;
  bool failed = false;
  out_->onDone = [&](engine::Component*) { done = true; };
  // Runs on the worker: only record what happened.
  out_->onError = [&](engine::Component*, const std::exception& e) {
    std::lock_guard lock(errorMutex);
    error = e.what();
    failed = true;
  };
  out_->Run();

  bool stopped = false;
  auto nextReport = std::chrono::steady_clock::now();
  main_.RunUntil([&] {
    {
      std::lock_guard lock(errorMutex);
      if (done || failed) return true;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= nextReport) {
      nextReport = now + std::chrono::milliseconds(100);
      if (!stopped && stop && stop()) {
        stopped = true;
        out_->Stop();
      }
      if (progress && input.Reader() != nullptr)
        progress(input.Reader()->StreamPosition(), input.Reader()->StreamDuration());
    }
    return false;
  });
  out_->SetInput(nullptr);
  ConversionResult result;
  const bool stopRequested = stopped || (stop && stop());
  if (out_->FileWritten()) {
    // Complete under its name, even when a stop came in as it finished.
    result.outcome = Outcome::Converted;
    result.warning = engine::ShortDecodeWarning(input.DeclaredDuration(), input.DecodedDuration());
  } else if (stopRequested) {
    // A stop can also surface as a failed read (the decoder was interrupted): it is a stop.
    result.outcome = Outcome::Stopped;
  } else {
    std::lock_guard lock(errorMutex);
    result.outcome = Outcome::Failed;
    result.error = failed ? error : "The MP3 file was not written.";
  }
  input.CloseFile();
  return result;
}

}  // namespace convert
