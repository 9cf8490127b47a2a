// Media file inspection: every file the user adds is inspected before it becomes a task. The
// media reader library (avpull) tells whether the file opens and has usable audio, its
// duration and audio format; the tag readers (ProbeTags) give its title, artist and the other
// tag texts. Together with the default MP3 settings and a unique output name they fill
// WorkingTask.
//
// Threads: one inspection at a time. The add action runs InspectMediaFile on a reading thread
// (ReadSourceFile, source_reading.h) while the user-interface thread waits; the wizard runs it on
// the user-interface thread. While it runs it writes WorkingTask and reads Tasks and the
// defaults; nobody else touches them meanwhile.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "core/conversion_task.h"
#include "core/message_kind.h"
#include "core/tag_probe.h"
#include "core/settings.h"

// The hand-over state of one inspection. The caller sets CurrentFile, AssignOutputName,
// ReadingDone := false and ReadResult := ReadPending before it starts one.
extern std::string CurrentFile;   // the file to inspect
extern bool AssignOutputName;     // true: inspection gives WorkingTask a new OutputFile
extern std::string CurrentSubfolder;  // the file's folder below the folder it was added with
// True when no inspection is running (and at start-up). The inspection stores it with release
// after ReadResult and everything else it wrote; a waiter reads it with acquire, and then sees
// all of that.
extern std::atomic<bool> ReadingDone;
extern std::int32_t ReadResult;   // one of the values below

inline constexpr std::int32_t ReadPending = -1;
inline constexpr std::int32_t ReadOk = 0;
inline constexpr std::int32_t ReadFailed = 1;   // the media reader cannot open the file
inline constexpr std::int32_t ReadNoAudio = 2;  // the file has no usable audio
inline constexpr std::int32_t ReadProtected = 3;  // the file's content is encrypted (DRM)

// Inspects CurrentFile into WorkingTask, sets ReadResult, then ReadingDone. Only a file that
// opens and has usable audio changes WorkingTask; otherwise it stays exactly as it was.
void InspectMediaFile();

// What the media reader reports about a file.
struct MediaFacts {
  std::int32_t result = 0;       // file_init's result: 0 when the file opened
  std::int32_t audioStatus = 0;  // 0 when the file has usable audio
  std::int64_t duration = 0;     // 100-nanosecond units; 0 when the file does not say
  std::int32_t sampleRate = 0;   // Hz
  std::int32_t channels = 0;     // as delivered: 2 for mono sources too
  std::int32_t sourceChannels = 0;  // the source's own: 1 for mono, 6 for 5.1
  bool drmProtected = false;     // a file that did not open is DRM-protected
};

// Opens `path` with the media reader and closes it at once.
MediaFacts ReadMediaFacts(const std::string& path);

// The ReadResult that `facts` give.
std::int32_t ReadResultOf(const MediaFacts& facts);

// Fills `task` with a readable file's source data, the MP3 settings of `defaults` and the tag
// texts of `tags` (the title falls back to the file name, the artist to the author, the comment
// to the copyright, and a zero duration to the tags' duration). With `assignOutputName` the
// task gets a unique output name in its DefaultOutputFolder (output_name.h): beside the source
// when defaults.outputFileDir is empty, else in that folder with `subfolder` under it.
void TakeInspection(ConversionTask& task, const Settings& defaults, const std::string& path,
                    bool assignOutputName, const MediaFacts& facts, const ProbedTags& tags,
                    const std::string& subfolder = {});

// The message for a file that could not be inspected, kind and text: ReadFailed is an error
// (with the hint about codecs), ReadProtected an error that says so, ReadNoAudio a warning. All
// offer help.
struct ReadFailureMessage {
  MessageKind kind;
  std::string text;
};
ReadFailureMessage ReadFailureMessageFor(std::int32_t readResult, const std::string& path);

// The same reason in a few words, for a list of files that were not added: "has no audio
// stream" for ReadNoAudio, and so on.
std::string ReadFailureReason(std::int32_t readResult);
