// The conversion task model: the task record, the ordered task list, the output-size
// estimates, and what a task asks of a conversion run (ItemOf).
//
// Tasks are never built field by field by their users: inspection of a file (inspection.h) or a
// copy of an entry fills a working copy; the wizard shows and changes it; the list takes it,
// whole.
//
// Threads: a task list belongs to the thread that owns it (the user-interface thread of the
// desktop program); tasks are plain values that may be handed between threads.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/conversion_run.h"
#include "core/library.h"
#include "core/settings.h"
#include "engine/encoding_settings.h"

namespace core {

// A tag text of a task: at most 255 characters, always valid UTF-8. A longer text is cut at a
// character boundary when it is stored; a text that is not valid UTF-8 (a legacy 8-bit tag from
// a media file) is read as Windows-1252 first.
class TaskText {
 public:
  static constexpr std::size_t kMaxCharacters = 255;

  TaskText() = default;
  TaskText(std::string_view text);  // implicit: a task text is assigned like a string
  TaskText(const std::string& text) : TaskText(std::string_view(text)) {}
  TaskText(const char* text) : TaskText(text != nullptr ? std::string_view(text) : std::string_view()) {}

  const std::string& str() const { return text_; }
  operator const std::string&() const { return text_; }
  const char* c_str() const { return text_.c_str(); }
  bool empty() const { return text_.empty(); }

  bool operator==(const TaskText&) const = default;
  friend bool operator==(const TaskText& a, std::string_view b) { return a.text_ == b; }
  friend bool operator==(const TaskText& a, const std::string& b) { return a.text_ == b; }
  friend bool operator==(const TaskText& a, const char* b) { return a.text_ == std::string_view(b); }
  friend std::ostream& operator<<(std::ostream& out, const TaskText& text);

 private:
  std::string text_;
};

// What the last conversion run made of a task; Ready before any run (or after an edit). Queued:
// the task came while a run went on and is converted once it ends. UpToDate: the run left its
// MP3 as it was, made from the source as it is now.
enum class TaskState { Ready, Queued, Waiting, Converting, Done, UpToDate, Failed, Skipped, Cancelled };

// Whether a task has its MP3: converted, or found up to date.
inline bool Finished(TaskState state) { return state == TaskState::Done || state == TaskState::UpToDate; }

// One source media file to be turned into one MP3 file, with its MP3 settings and ID3 texts.
// A plain value: copying a task copies all of it. A new task is all zero, false and empty.
// Every field is kept on disk with the list (task_store.cpp names each one).
struct ConversionTask {
  // Full paths. Unlike the tag texts they are never cut: a Linux path may be longer than 255
  // characters, and a cut path would name a different file.
  std::string sourceFile;
  std::string outputFile;
  // The source's folder below the folder it was added with, that folder's own name first
  // (added_files.h); empty for a file added by itself.
  std::string subfolder;
  // The user gave the output name in the wizard: the main window's output choice leaves it.
  bool ownOutput = false;
  bool hasAudio = false;             // set by every successful inspection
  std::int64_t duration = 0;         // playing time, 100-nanosecond units
  std::int32_t sourceSampleRate = 0;  // Hz, as the media reader reports it
  std::int32_t sourceChannels = 0;   // the source's own: 1 mono, 2 stereo, 6 for 5.1
  std::int32_t estimatedSize = 0;    // kilobytes of 1024 bytes
  engine::EncodingSettings encoding;  // what the MP3 is made with
  TaskText title;                    // also the text of the task's row in the task list
  TaskText artist;
  TaskText album;
  TaskText comment;
  TaskText genre;                    // a genre name
  TaskText year;                     // a year, or the source's whole date ("2004-05-12")
  TaskText albumArtist;
  TaskText composer;
  TaskText track;                    // "3" or "3/12" (number and total)
  std::int32_t disc = 0;             // from the source: 0 when it has none
  std::int32_t discTotal = 0;
  // The source's front cover: its MIME type and size (0: none). The picture is read from the
  // source again when the MP3 is written, unless omitCover says to leave it out.
  std::string coverMimeType;
  std::int64_t coverBytes = 0;
  bool omitCover = false;
  // What the source carries beyond the fields above (lyrics, a rating, several composers ...),
  // as the wizard and the information panel sum it up; the values themselves are read again when
  // the MP3 is written.
  std::vector<tags::MoreTagCount> moreTags;
  bool checked = false;              // takes part in the next conversion run
  TaskState state = TaskState::Ready;
  std::string stateDetail;           // Failed, Skipped: why; Done: a warning, when there is one
  std::int64_t outputBytes = 0;      // Done: the size of the MP3
  bool verified = false;             // Done: the MP3 decoded back as it was written

  bool operator==(const ConversionTask&) const = default;
};

// The ordered list of tasks. Each entry is a separately allocated record owned by the list, so
// a reference to an entry stays valid while other entries are added. Entry i is row i of the
// main window's task list. Indices are 0-based.
class TaskList {
 public:
  int Count() const { return static_cast<int>(entries_.size()); }
  bool Empty() const { return entries_.empty(); }
  // The entry at `index`; 0 <= index < Count().
  ConversionTask& operator[](int index) { return *entries_[static_cast<std::size_t>(index)]; }
  const ConversionTask& operator[](int index) const { return *entries_[static_cast<std::size_t>(index)]; }

  // Adds a copy of `task` at the end; returns its index.
  int Append(const ConversionTask& task);
  // Copies `task` over entry `index`; false (and nothing changes) when there is no such entry.
  bool Store(int index, const ConversionTask& task);
  // Releases entry `index`; the entries after it move down by one. False when there is none.
  bool Remove(int index);
  // Releases every entry.
  void Clear();
  // True when any entry writes to exactly `path` (byte for byte, case-sensitive).
  bool WritesTo(std::string_view path) const;

 private:
  std::vector<std::unique_ptr<ConversionTask>> entries_;
};

// The MP3 size estimated when a file is inspected, in kilobytes:
// floor(bitrate × seconds / 8 × 1.03) with fractional seconds. 0 for a zero or negative
// duration or bit rate; at most the largest 32-bit value.
std::int32_t EstimateOutputSize(std::int32_t bitrate, std::int64_t duration);

// The MP3 size estimated from a task's own settings when the wizard finishes, in kilobytes,
// from whole seconds s: s × (VbrMinBitrate + VbrMaxBitrate) div 16 with Vbr, else
// s × Bitrate div 8. Clamped to 0 .. the largest 32-bit value.
std::int32_t EstimateTaskSize(const ConversionTask& task);

// What a conversion run makes of `task`: its source and output, its MP3 settings, the tags the
// wizard shows as the user left them (the source's other tags are read when it converts), and
// how the run treats it (`options`).
RunItem ItemOf(const ConversionTask& task, const RunOptions& options = {});

// Takes what a run reports of a task's item into the task: its state and why, and once done its
// MP3's name, size and verification (a warning, when there is one, as the detail). A task whose
// MP3 is done or up to date is unchecked, so that Start again converts only what is left.
void TakeReport(ConversionTask& task, const ItemReport& report);

// The main window's output choice: where new MP3 files go and how they are named.
struct OutputChoice {
  std::string folder;                 // ends with "/"; empty: beside each source
  std::optional<NamePattern> pattern;  // nothing: named like the source
  // The run judges an existing MP3 (it may be up to date): names are not numbered away from it.
  bool updateOnly = false;
};

// The choice `settings` make. An own pattern that does not parse is not used: names are then
// made like the sources'.
OutputChoice OutputChoiceOf(const Settings& settings);

// What a name pattern's fields are for `task`: its own texts, its source's file name and the
// source's folder below the folder it was added with.
NameFields NameFieldsOf(const ConversionTask& task);

// The MP3 name `choice` gives `task`, before numbering. Named like the source: the source's
// name in the source's own folder, or in the output folder with the task's sub-folder under it
// (DefaultOutputFolder). By a pattern: the expanded pattern below the output folder, or, beside
// the sources, below the folder the task was added with (the source's own folder for a file
// added by itself).
std::string OutputFileFor(const ConversionTask& task, const OutputChoice& choice);

// OutputFileFor numbered ("song (2).mp3") while `taken` holds the name, or a folder or (unless
// choice.updateOnly) a file other than the task's own present output is there.
std::string FreeOutputFile(const ConversionTask& task, const OutputChoice& choice,
                           const std::function<bool(const std::string&)>& taken);

// Gives every task of `tasks` that follows the output choice (not ownOutput, not finished) its
// name under `choice`, numbered in list order so that no two tasks share one. Returns the
// indices of the tasks whose name changed.
std::vector<int> ApplyOutputChoice(TaskList& tasks, const OutputChoice& choice);

}  // namespace core
