// Converts one media file after another to MP3 through the decoded input and the MP3 output,
// on the output's worker, while the calling (main) thread waits and serves the hand-offs.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/mp3_output.h"
#include "engine/encoding_settings.h"
#include "platform/dispatcher.h"

namespace convert {

// How one conversion ended.
struct ConversionResult {
  enum class Outcome {
    Converted,  // the MP3 file is complete under its name
    Failed,     // `error` says why; nothing was left under the name
    Stopped,    // asked to stop before the end; nothing was left under the name
  };
  Outcome outcome = Outcome::Failed;
  std::string error;
  // A converted file that came out shorter than its source declares.
  std::optional<std::string> warning;
};

class FileConverter {
 public:
  // Called about ten times a second while a file converts: position and length, 100-ns units.
  using Progress = std::function<void(std::int64_t position, std::int64_t duration)>;
  // Asked about ten times a second; true stops the current file, which is then not kept.
  using StopRequested = std::function<bool()>;

  // Creates the MP3 output; raises engine::PipelineError when the encoder library is missing.
  explicit FileConverter(platform::PlainDispatcher& mainThread);
  ~FileConverter();

  // Converts `source` into `output`. With `replaceExisting` false, a file of that name that
  // exists when the conversion ends stays and the conversion fails.
  ConversionResult Convert(const std::string& source, const std::string& output,
                           const engine::EncodingSettings& encoding, bool replaceExisting, const Progress& progress,
                           const StopRequested& stop);

 private:
  platform::PlainDispatcher& main_;
  std::unique_ptr<engine::Mp3Output> out_;
};

}  // namespace convert
