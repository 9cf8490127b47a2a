// One conversion: a media file decoded (FFmpeg), encoded (LAME) and written as one MP3 file with
// its tags. It runs on a worker thread of its own from construction on and reports its end once,
// through the handler it was given. The MP3 appears under its name only when it is complete (see
// staged_file.h): a conversion that fails or is stopped leaves nothing under the name.
//
// Threads: the owner's thread constructs, pauses, resumes, stops and destroys it; the worker does
// all the file work, and calls onEnd as its last act. Position and Length may be read from any
// thread at any time (atomics the worker publishes).
//
// Ownership: the conversion owns its worker, its source reader, its encoder and its hidden output
// file. Destroying it stops the worker and waits for it; onEnd has then run.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "engine/encoding_settings.h"
#include "engine/mp3_tags.h"
#include "engine/mp3_stream_encoder.h"
#include "engine/output_claim.h"
#include "engine/replay_gain.h"

namespace engine {

// Why a conversion failed: what went wrong and the facts the user needs to know. The texts in it
// are the system's, FFmpeg's or the encoder's own words; the front ends compose the message.
struct ConversionError {
  enum class Kind {
    SourceUnreadable,    // the source cannot be opened or decoded (detail: why)
    EncoderUnavailable,  // the LAME library cannot be loaded (detail: the loader's message)
    EncoderRefused,      // LAME refuses these settings for this source (detail: the source's rate)
    EncoderFailed,       // LAME failed while encoding (detail: its error number)
    FolderUncreatable,   // the output's folder cannot be made (file: the folder)
    OutputUncreatable,   // the output cannot be created in its folder (file: the output)
    OutputWriteFailed,   // writing the output failed: a full disk, an I/O error (file: the output)
    OutputExists,        // something appeared under the output's name meanwhile (file: the output)
    OutputNotAFile,      // the output's name is a folder, a device, a pipe or a socket
    NotVerified,         // the finished MP3 did not decode back as written (detail: what differed)
    Failed,              // anything else (detail: what)
  };
  Kind kind = Kind::Failed;
  std::string file;    // the file concerned, when one is
  std::string detail;  // the reason in the system's words, when there is one
  int errorNumber = 0;  // the system's errno, when a system call failed

  bool operator==(const ConversionError&) const = default;
};

// What the engine throws inside a conversion; the worker turns it into the result.
class ConversionFailure : public std::runtime_error {
 public:
  explicit ConversionFailure(ConversionError error);
  const ConversionError& Error() const { return error_; }

 private:
  ConversionError error_;
};

// What may become of an existing file under the output's name.
enum class Replace {
  Never,        // the conversion fails when the name exists by the time it finishes
  RegularFile,  // a regular file there is replaced (keeping its mode, and its owner for root)
};

struct ConversionRequest {
  std::string sourceFile;
  std::string outputFile;
  EncodingSettings encoding;
  Replace replace = Replace::Never;
  // Whether the output's missing folders are made first.
  bool makeFolders = false;
  // Whether a one-channel source is encoded as one channel whatever `encoding` says.
  bool monoStaysMono = false;
  // Gives the MP3's tags. Called on the worker as the conversion starts, so that a picture is
  // read only when it is about to be written and let go right after.
  std::function<Mp3Tags()> tags;
  // Whether the output's name is claimed first (output_claim.h), for several processes
  // converting into one folder: an output another process holds is left to it.
  bool claim = false;
  // Asked on the worker before anything is read (after the claim): true when the output needs
  // no conversion, as it is up to date.
  std::function<bool()> upToDate;
  // Whether the finished MP3 is decoded again and checked before it takes its name
  // (mp3_verify.h), and whether its ReplayGain is measured on the way and written into its tag
  // (replay_gain.h).
  bool verify = true;
  bool replayGain = true;
  // How many threads may encode this one file at first (more split it; mp3_stream_encoder.h).
  // SetWorkers changes it while it converts.
  int workers = 1;
  // Held while the source is opened and its tags are read and written, and while the finished
  // tag is read back: the conversions of a run take turns at it, so that however many run at
  // once, one source's tags at a time are in memory (a cover or lyrics can be megabytes).
  // Optional.
  std::shared_ptr<std::mutex> tagGate;
  // For tests: called with the hidden file's name once the MP3 is complete, before it is checked.
  std::function<void(const std::string& stagedFile)> beforeVerify;
};

struct ConversionResult {
  bool written = false;  // the MP3 is complete under its name
  bool stopped = false;  // Stop ended it (nothing was written)
  bool upToDate = false;  // the output was up to date: nothing was done
  bool claimedElsewhere = false;  // another process converts the output: nothing was done
  std::optional<ConversionError> error;  // why it failed, when it did
  std::int64_t declaredDuration = 0;     // what the source says it lasts (100 ns), 0: unknown
  std::int64_t decodedDuration = 0;      // how much of it was decoded (100 ns)
  std::int64_t outputBytes = 0;          // the size of the MP3 when written
  bool verified = false;                 // it decoded back as written (request.verify)
  // The track's loudness meter (request.replayGain), for the album's gain once the album is done;
  // null when nothing could be measured.
  std::shared_ptr<const LoudnessMeter> loudness;
  // What the MP3 tells its album by: its album artist (or artist) and album, or, without an
  // album, its source's folder.
  std::string albumKey;
  // The source's tags that were too large to write (Mp3Tags::leftOut).
  std::vector<Mp3Tags::LeftOut> tagsLeftOut;
};

class Conversion {
 public:
  using EndHandler = std::function<void(const ConversionResult&)>;

  // Starts converting on a new worker thread. `onEnd` is called on the worker once it has
  // ended. Raises std::system_error when no thread can be started.
  Conversion(ConversionRequest request, EndHandler onEnd);
  ~Conversion();
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;

  // Holds the worker between two blocks until Resume.
  void Pause();
  void Resume();
  // True once a paused conversion holds still: what it has decoded stays as it is until Resume.
  bool Holding() const;
  // Ends the conversion at its next block, leaving nothing under the output's name; a paused
  // one ends too.
  void Stop();
  // How many threads may encode the file from now on (at least 1): the run grants more when other
  // files are done. Any thread.
  void SetWorkers(int workers);

  // How far the source has been decoded, and how long it says it is (100 ns; 0 before it is
  // open or when it does not say).
  std::int64_t Position() const { return position_.load(std::memory_order_relaxed); }
  std::int64_t Length() const { return length_.load(std::memory_order_relaxed); }

  const ConversionRequest& Request() const { return request_; }

 private:
  void Work();
  void Convert(ConversionResult& result);
  // Waits while paused; false when the conversion is to stop.
  bool GoOn();

  const ConversionRequest request_;
  const EndHandler onEnd_;
  std::atomic<std::int64_t> position_{0};
  std::atomic<std::int64_t> length_{0};
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool paused_ = false;
  bool holding_ = false;
  bool stopRequested_ = false;
  std::atomic<bool> stopping_{false};  // for the encoder's threads
  std::atomic<int> workers_{1};
  std::atomic<Mp3StreamEncoder*> encoder_{nullptr};  // while it encodes
  std::thread worker_;
};

// What to tell the user when a conversion that ended normally decoded less than its source
// declares (a file cut short, or damaged past some point): nothing when the shortfall is within
// a second or 2 % of the declared time, which containers often state only roughly.
struct ShortDecode {
  double decodedSeconds = 0;
  double declaredSeconds = 0;
};
std::optional<ShortDecode> ShortDecodeOf(std::int64_t declared, std::int64_t decoded);

// The start-up check of the decoding layer: the message to show when media files cannot be
// decoded, or nothing.
std::optional<std::string> StartDecoding();
// Makes every media file being read give up at its next read, for good: for a program that was
// told to stop. Safe to call from a signal handler.
void InterruptDecoding();

// Why the LAME library cannot be used, or nothing when it can (it is then loaded and released
// again).
std::optional<std::string> EncoderProblem();

}  // namespace engine
