#include "core/inspection.h"

#include <sys/stat.h>

#include "avpull/avpull.h"
#include "core/interface_texts.h"
#include "core/item_tags.h"
#include "core/output_name.h"
#include "platform/mmstream/media_stream.h"
#include "platform/paths/path_names.h"

namespace core {

MediaFacts ReadMediaFacts(const std::string& path) {
  MediaFacts facts;
  AVPULL_STREAM_TIME duration = 0;
  std::int32_t videoStatus = AVPULL_VIDEO_NONE;
  std::int32_t audioStatus = AVPULL_AUDIO_NONE;
  AVPULL_VIDEOINFOHEADER videoInfo{};
  AVPULL_WAVEFORMATEX audioFormat{};
  facts.result = file_init(path.c_str(), &duration, &videoStatus, &audioStatus, &videoInfo, &audioFormat);
  facts.sourceChannels = file_get_source_channels();
  file_exit();  // whatever file_init returned
  // Only a file that did not open needs the reason; the check reads its header once more.
  if (facts.result != 0) {
    struct stat info {};
    facts.missing = ::stat(path.c_str(), &info) != 0;
    facts.drmProtected = !facts.missing && platform::mmstream::IsProtected(path);
  }
  facts.audioStatus = audioStatus;
  facts.duration = duration;
  facts.sampleRate = static_cast<std::int32_t>(audioFormat.nSamplesPerSec);
  facts.channels = audioFormat.nChannels;
  return facts;
}

ReadResult ReadResultOf(const MediaFacts& facts) {
  if (facts.result != 0) {
    if (facts.missing) return ReadResult::Missing;
    return facts.drmProtected ? ReadResult::Protected : ReadResult::Failed;
  }
  if (facts.audioStatus != AVPULL_AUDIO_READY) return ReadResult::NoAudio;
  return ReadResult::Ok;
}

Inspection InspectMediaFile(const std::string& path) {
  Inspection inspection;
  inspection.path = path;
  try {
    inspection.facts = ReadMediaFacts(path);
    inspection.result = ReadResultOf(inspection.facts);
    if (inspection.result == ReadResult::Ok) inspection.tags = ProbeTags(path);
  } catch (...) {
    // Out of memory: the file is not added.
    inspection.result = ReadResult::Failed;
  }
  return inspection;
}

void TakeInspection(ConversionTask& task, const Inspection& inspection) {
  const MediaFacts& facts = inspection.facts;
  task.sourceFile = inspection.path;
  task.hasAudio = true;
  task.duration = facts.duration;
  task.sourceSampleRate = facts.sampleRate;
  task.sourceChannels = facts.sourceChannels > 0 ? facts.sourceChannels : facts.channels;

  const ShownTags shown = ShownTagsOf(inspection.tags, inspection.path);
  task.title = shown.title;
  task.artist = shown.artist;
  task.comment = shown.comment;
  task.year = shown.year;
  task.genre = shown.genre;
  task.album = shown.album;
  task.albumArtist = shown.albumArtist;
  task.composer = shown.composer;
  task.track = shown.track;
  task.disc = shown.disc;
  task.discTotal = shown.discTotal;
  task.coverMimeType = shown.coverMimeType;
  task.coverBytes = shown.coverBytes;
  task.omitCover = false;
  task.moreTags = inspection.tags.moreTags;
  if (task.duration == 0 && inspection.tags.duration > 0) task.duration = inspection.tags.duration;
  task.estimatedSize = EstimateOutputSize(task.encoding.bitrate, task.duration);
}

ConversionTask TaskOf(const Inspection& inspection, const Settings& defaults, const TaskList& tasks,
                      const std::string& subfolder) {
  ConversionTask task;
  task.encoding = defaults.encoding;
  TakeInspection(task, inspection);
  task.encoding.channelMode = engine::ModeForSource(task.sourceChannels, defaults.encoding.channelMode);
  const std::string first = DefaultOutputFolder(inspection.path, defaults.outputFileDir, subfolder) +
                            Mp3FileNameFor(inspection.path);
  task.outputFile = FirstFreeName(first, [&tasks](const std::string& candidate) {
    return platform::FileExists(candidate) || platform::FolderExists(candidate) || tasks.WritesTo(candidate);
  });
  return task;
}

ReadFailureMessage ReadFailureMessageFor(ReadResult result, const std::string& path, TextLookup tr) {
  switch (result) {
    case ReadResult::NoAudio: return {MessageKind::Warning, tr(lang::NoAudioStream) + "\n" + path};
    case ReadResult::Protected: return {MessageKind::Error, path + " " + tr(lang::ProtectedFile)};
    case ReadResult::Missing: return {MessageKind::Error, tr(lang::FileDoesNotExist) + "\n" + path};
    case ReadResult::Ok:
    case ReadResult::Failed: break;
  }
  return {MessageKind::Error, tr(lang::CannotReadFile) + "\n" + path + "\n" + tr(lang::InstallCodecsHint)};
}

std::string ReadFailureReason(ReadResult result, TextLookup tr) {
  switch (result) {
    case ReadResult::NoAudio: return tr(lang::NoAudioReason);
    case ReadResult::Protected: return tr(lang::ProtectedReason);
    case ReadResult::Missing: return tr(lang::MissingReason);
    case ReadResult::Ok:
    case ReadResult::Failed: break;
  }
  return tr(lang::NotReadableReason);
}

}  // namespace core
