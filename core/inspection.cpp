#include "core/inspection.h"

#include "platform/paths/path_names.h"
#include "core/interface_texts.h"
#include "core/output_name.h"
#include "avpull/avpull.h"
#include "platform/mmstream/media_stream.h"

std::string CurrentFile;
bool AssignOutputName = false;
std::string CurrentSubfolder;
std::atomic<bool> ReadingDone{true};
std::int32_t ReadResult = ReadPending;

namespace {

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
  facts.sourceChannels = file_get_source_channels();
  file_exit();  // whatever file_init returned
  // Only a file that did not open needs the reason; the check reads its header once more.
  if (facts.result != 0) facts.drmProtected = platform::mmstream::IsProtected(path);
  facts.audioStatus = audioStatus;
  facts.duration = duration;
  facts.sampleRate = static_cast<std::int32_t>(audioFormat.nSamplesPerSec);
  facts.channels = audioFormat.nChannels;
  return facts;
}

std::int32_t ReadResultOf(const MediaFacts& facts) {
  if (facts.result != 0) return facts.drmProtected ? ReadProtected : ReadFailed;
  if (facts.audioStatus != AVPULL_AUDIO_READY) return ReadNoAudio;
  return ReadOk;
}

void TakeInspection(ConversionTask& task, const Settings& defaults, const std::string& path,
                    bool assignOutputName, const MediaFacts& facts, const ProbedTags& tags,
                    const std::string& subfolder) {
  task.sourceFile = path;
  task.hasAudio = true;
  task.duration = facts.duration;
  task.sourceSampleRate = facts.sampleRate;
  task.sourceChannels = facts.sourceChannels > 0 ? facts.sourceChannels : facts.channels;

  task.sampleRate = defaults.audioSampleRate;
  task.bitsPerSample = defaults.audioBitsPerSample;
  task.bitrate = defaults.audioBitrate;
  task.channelMode = defaults.audioChannels;
  task.vbrMinBitrate = defaults.audioVbrMinBitrate;
  task.vbrMaxBitrate = defaults.audioVbrMaxBitrate;
  task.vbr = defaults.audioVbr;

  if (assignOutputName) {
    task.outputFile = MakeUniqueOutputName(path, DefaultOutputFolder(path, defaults.outputFileDir, subfolder), ".mp3");
  }

  const std::string fileName = platform::FileNameOf(path);
  task.title = FirstOf(tags.title, fileName.substr(0, fileName.size() - platform::ExtensionOf(fileName).size()));
  task.artist = FirstOf(tags.artist, tags.author);
  task.comment = FirstOf(tags.comment, tags.copyright);
  task.year = tags.year;
  task.genre = tags.genre;
  task.album = tags.album;
  task.albumArtist = tags.albumArtist;
  task.composer = tags.composer;
  task.track = engine::PositionText(tags.track, tags.trackTotal);
  task.disc = tags.disc;
  task.discTotal = tags.discTotal;
  task.coverMimeType = tags.coverMimeType;
  task.coverBytes = tags.coverBytes;
  task.omitCover = false;
  if (task.duration == 0 && tags.duration > 0) task.duration = tags.duration;

  task.estimatedSize = EstimateOutputSize(task.bitrate, task.duration);
}

void InspectMediaFile() {
  std::int32_t result = ReadFailed;
  try {
    const std::string path = CurrentFile;
    const MediaFacts facts = ReadMediaFacts(path);
    result = ReadResultOf(facts);
    if (result == ReadOk) {
      // Filled on a copy and taken over whole, so a failure half-way changes nothing.
      ConversionTask task = WorkingTask;
      TakeInspection(task, DefaultSettings, path, AssignOutputName, facts, ProbeTags(path), CurrentSubfolder);
      WorkingTask = std::move(task);
    }
  } catch (...) {
    // Out of memory: the file is not added, and the waiter must still be released.
    result = ReadFailed;
  }
  ReadResult = result;
  ReadingDone.store(true, std::memory_order_release);
}

ReadFailureMessage ReadFailureMessageFor(std::int32_t readResult, const std::string& path) {
  if (readResult == ReadNoAudio) return {MessageKind::Warning, Translated(lang::NoAudioStream) + "\n" + path};
  if (readResult == ReadProtected) return {MessageKind::Error, path + " " + Translated(lang::ProtectedFile)};
  return {MessageKind::Error,
          Translated(lang::CannotReadFile) + "\n" + path + "\n" + Translated(lang::InstallCodecsHint)};
}

std::string ReadFailureReason(std::int32_t readResult) {
  if (readResult == ReadNoAudio) return Translated(lang::NoAudioReason);
  if (readResult == ReadProtected) return Translated(lang::ProtectedReason);
  return Translated(lang::NotReadableReason);
}
