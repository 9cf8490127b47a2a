#include "app/inspect.h"

#include "app/api.h"
#include "app/lang.h"
#include "app/output_name.h"
#include "avpull/avpull.h"

std::string CurrentFile;
bool AssignOutputName = false;
std::atomic<bool> ReadingDone{true};
std::int32_t ReadResult = ReadPending;

namespace {

constexpr int kErrorKind = 0;    // the message window's kinds
constexpr int kWarningKind = 3;

const std::string& FirstOf(const std::string& text, const std::string& fallback) {
  return text.empty() ? fallback : text;
}

}  // namespace

MediaFacts ReadMediaFacts(const std::string& path) {
  MediaFacts facts;
  AVPULL_STREAM_TIME duration = 0;
  std::int32_t videoStatus = AVPULL_VIDEO_NONE;
  std::int32_t audioStatus = AVPULL_AUDIO_NONE;
  AVPULL_VIDEOINFOHEADER videoInfo{};
  AVPULL_WAVEFORMATEX audioFormat{};
  facts.result = file_init(path.c_str(), &duration, &videoStatus, &audioStatus, &videoInfo, &audioFormat);
  file_exit();  // whatever file_init returned
  facts.audioStatus = audioStatus;
  facts.duration = duration;
  facts.sampleRate = static_cast<std::int32_t>(audioFormat.nSamplesPerSec);
  facts.channels = audioFormat.nChannels;
  return facts;
}

std::int32_t ReadResultOf(const MediaFacts& facts) {
  if (facts.result != 0) return ReadFailed;
  if (facts.audioStatus != AVPULL_AUDIO_READY) return ReadNoAudio;
  return ReadOk;
}

void TakeInspection(TConversionTask& task, TDefaultSettings& defaults, const std::string& path,
                    bool assignOutputName, const MediaFacts& facts, const ProbedTags& tags) {
  task.SourceFile = path;
  task.HasAudio = true;
  task.Duration = facts.duration;
  task.SourceSampleRate = facts.sampleRate;
  task.SourceChannels = facts.channels;

  task.SampleRate = defaults.AudioSampleRate;
  task.BitsPerSample = defaults.AudioBitsPerSample;
  task.Bitrate = defaults.AudioBitrate;
  task.ChannelMode = defaults.AudioChannels;
  task.VbrMinBitrate = defaults.AudioVbrMinBitrate;
  task.VbrMaxBitrate = defaults.AudioVbrMaxBitrate;
  task.Vbr = defaults.AudioVBR;

  if (assignOutputName) {
    // An output folder that is unset, or the folder files were last added from, means
    // "beside the source".
    if (defaults.OutputFileDir.empty() || defaults.OutputFileDir == defaults.InputFileDir)
      defaults.OutputFileDir = FolderOf(path);
    task.OutputFile = MakeUniqueOutputName(path, defaults.OutputFileDir, ".mp3");
  }

  const std::string fileName = FileNameOf(path);
  task.Title = FirstOf(tags.title, fileName.substr(0, fileName.size() - ExtensionOf(fileName).size()));
  task.Artist = FirstOf(tags.artist, tags.author);
  task.Comment = FirstOf(tags.comment, tags.copyright);
  task.Year = tags.year;
  task.Genre = tags.genre;
  task.Album = tags.album;
  if (task.Duration == 0 && tags.duration > 0) task.Duration = tags.duration;

  task.EstimatedSize = EstimateOutputSize(task.Bitrate, task.Duration);
}

void InspectMediaFile() {
  std::int32_t result = ReadFailed;
  try {
    const std::string path = CurrentFile;
    const MediaFacts facts = ReadMediaFacts(path);
    result = ReadResultOf(facts);
    if (result == ReadOk) {
      // Filled on copies and taken over whole, so a failure half-way changes nothing.
      TConversionTask task = WorkingTask;
      TDefaultSettings defaults = DefaultSettings;
      TakeInspection(task, defaults, path, AssignOutputName, facts, ProbeTags(path));
      WorkingTask = std::move(task);
      DefaultSettings.OutputFileDir = std::move(defaults.OutputFileDir);
    }
  } catch (...) {
    // Out of memory: the file is not added, and the waiter must still be released.
    result = ReadFailed;
  }
  ReadResult = result;
  ReadingDone.store(true, std::memory_order_release);
}

ReadFailureMessage ReadFailureMessageFor(std::int32_t readResult, const std::string& path) {
  if (readResult == ReadNoAudio) return {kWarningKind, std::string(lang::NoAudioStream) + "\n " + path};
  return {kErrorKind, std::string(lang::CannotReadFile) + "\n " + path + "\n" + lang::InstallCodecsHint};
}
