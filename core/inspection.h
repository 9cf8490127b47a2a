// Media file inspection: every file the user adds is inspected before it becomes a task. The
// media reader library (avpull) tells whether the file opens and has usable audio, its duration
// and audio format; the tag readers (ProbeTags) give its title, artist and the other tag texts.
// Inspecting is pure reading and returns a value, so it may run on any thread; turning the
// result into a task (TaskOf) needs the task list and belongs to the list's thread.
#pragma once

#include <cstdint>
#include <string>

#include "core/conversion_task.h"
#include "core/message_kind.h"
#include "core/settings.h"
#include "core/tag_probe.h"
#include "core/translation.h"

namespace core {

// What became of reading a file.
enum class ReadResult {
  Ok,
  Failed,     // the media reader cannot open the file
  NoAudio,    // the file has no usable audio
  Protected,  // the file's content is encrypted (DRM)
  Missing,    // there is no such file
};

// What the media reader reports about a file.
struct MediaFacts {
  std::int32_t result = 0;       // file_init's result: 0 when the file opened
  std::int32_t audioStatus = 0;  // 0 when the file has usable audio
  std::int64_t duration = 0;     // 100-nanosecond units; 0 when the file does not say
  std::int32_t sampleRate = 0;   // Hz
  std::int32_t channels = 0;     // as delivered: 2 for mono sources too
  std::int32_t sourceChannels = 0;  // the source's own: 1 for mono, 6 for 5.1
  bool drmProtected = false;     // a file that did not open is DRM-protected
  bool missing = false;          // a file that did not open does not exist
};

// Opens `path` with the media reader and closes it at once.
MediaFacts ReadMediaFacts(const std::string& path);

// The ReadResult that `facts` give.
ReadResult ReadResultOf(const MediaFacts& facts);

// Everything inspecting one file found.
struct Inspection {
  std::string path;
  ReadResult result = ReadResult::Failed;
  MediaFacts facts;
  ProbedTags tags;  // read only when the file has audio
};

// Reads `path`: its facts, and its tags when it has audio. Any thread; never throws.
Inspection InspectMediaFile(const std::string& path);

// The task a readable file becomes: its source data, the MP3 settings of `defaults` (a mono
// source stays mono), the tags it shows, and an output name of its own in its
// DefaultOutputFolder (output_name.h) — beside the source when defaults.outputFileDir is empty,
// else in that folder with `subfolder` under it — numbered while a file, a folder or a task of
// `tasks` has it.
ConversionTask TaskOf(const Inspection& inspection, const Settings& defaults, const TaskList& tasks,
                      const std::string& subfolder = {});

// Takes another readable source into `task` (the wizard's input file changed): the source's data
// and tags as TaskOf gives them; the output name and the MP3 settings stay.
void TakeInspection(ConversionTask& task, const Inspection& inspection);

// The message for a file that could not be inspected, kind and text: Failed is an error (with
// the hint about codecs), Protected an error that says so, NoAudio a warning, Missing an error
// that says the file does not exist. All offer help.
struct ReadFailureMessage {
  MessageKind kind;
  std::string text;
};
ReadFailureMessage ReadFailureMessageFor(ReadResult result, const std::string& path, TextLookup tr = EnglishText);

// The same reason in a few words, for a list of files that were not added: "has no audio
// stream" for NoAudio, and so on.
std::string ReadFailureReason(ReadResult result, TextLookup tr = EnglishText);

}  // namespace core
