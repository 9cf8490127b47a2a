#include "core/conversion_task.h"

#include "core/output_name.h"
#include "core/tags/source_tags.h"
#include "platform/paths/path_names.h"
#include "platform/text_encoding.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <ostream>
#include <set>

namespace core {

namespace {

constexpr std::int64_t kUnitsPerSecond = 10'000'000;
constexpr std::int32_t kLargestSize = std::numeric_limits<std::int32_t>::max();

}  // namespace

TaskText::TaskText(std::string_view text) : text_(CutToCharacters(ToValidUtf8(text), kMaxCharacters)) {}

std::ostream& operator<<(std::ostream& out, const TaskText& text) { return out << text.text_; }

int TaskList::Append(const ConversionTask& task) {
  entries_.push_back(std::make_unique<ConversionTask>(task));
  return Count() - 1;
}

bool TaskList::Store(int index, const ConversionTask& task) {
  if (index < 0 || index >= Count()) return false;
  (*this)[index] = task;
  return true;
}

bool TaskList::Remove(int index) {
  if (index < 0 || index >= Count()) return false;
  entries_.erase(entries_.begin() + index);
  return true;
}

void TaskList::Clear() { entries_.clear(); }

bool TaskList::WritesTo(std::string_view path) const {
  return std::any_of(entries_.begin(), entries_.end(), [path](const auto& task) { return task->outputFile == path; });
}

std::int32_t EstimateOutputSize(std::int32_t bitrate, std::int64_t duration) {
  if (bitrate <= 0 || duration <= 0) return 0;
  const double kilobytes = bitrate * (static_cast<double>(duration) / kUnitsPerSecond) / 8 * 1.03;
  // A hostile header can claim any duration: keep the conversion to 32 bits defined.
  if (kilobytes >= kLargestSize) return kLargestSize;
  return static_cast<std::int32_t>(std::floor(kilobytes));
}

std::int32_t EstimateTaskSize(const ConversionTask& task) {
  const engine::EncodingSettings& encoding = task.encoding;
  const std::int64_t seconds = task.duration / kUnitsPerSecond;
  const std::int64_t rate =
      encoding.vbr ? std::int64_t{encoding.vbrMinBitrate} + encoding.vbrMaxBitrate : encoding.bitrate;
  const std::int64_t divisor = encoding.vbr ? 16 : 8;
  if (seconds <= 0 || rate <= 0) return 0;
  // The 64-bit product itself could overflow for a claimed duration of millennia.
  if (seconds > std::numeric_limits<std::int64_t>::max() / rate) return kLargestSize;
  return static_cast<std::int32_t>(std::min<std::int64_t>(seconds * rate / divisor, kLargestSize));
}

RunItem ItemOf(const ConversionTask& task, const RunOptions& options) {
  RunItem item;
  item.sourceFile = task.sourceFile;
  item.outputFile = task.outputFile;
  item.encoding = task.encoding;
  item.duration = std::max<std::int64_t>(task.duration, 0);
  item.makeFolders = true;
  ShownTags shown;
  shown.title = task.title;
  shown.artist = task.artist;
  shown.albumArtist = task.albumArtist;
  shown.album = task.album;
  shown.year = task.year;
  shown.comment = task.comment;
  shown.genre = task.genre;
  shown.composer = task.composer;
  shown.track = task.track;
  shown.disc = task.disc;
  shown.discTotal = task.discTotal;
  item.tags = ChoiceOf(shown, task.omitCover);
  item.tags.folderArt = options.folderArt;
  item.updateOnly = options.updateOnly;
  item.verify = options.verify;
  item.replayGain = options.replayGain;
  return item;
}

void TakeReport(ConversionTask& task, const ItemReport& report) {
  task.stateDetail = report.reason;
  task.verified = false;
  switch (report.state) {
    case ItemState::Waiting:
    case ItemState::Asking: task.state = TaskState::Waiting; return;
    case ItemState::Converting: task.state = TaskState::Converting; return;
    case ItemState::Failed: task.state = TaskState::Failed; return;
    case ItemState::Cancelled: task.state = TaskState::Cancelled; return;
    case ItemState::Skipped:
      // An MP3 already made from the source as it is now is as good as a converted one.
      if (report.skip == SkipReason::UpToDate) {
        task.state = TaskState::UpToDate;
        task.checked = false;
      } else {
        task.state = TaskState::Skipped;
      }
      return;
    case ItemState::Done:
      // Its link leads to the MP3 the run wrote, under a numbered name too.
      task.state = TaskState::Done;
      task.checked = false;
      task.outputFile = report.outputFile;
      task.outputBytes = report.outputBytes;
      task.verified = report.verified;
      task.stateDetail = report.warning.value_or("");
      return;
  }
}

OutputChoice OutputChoiceOf(const Settings& settings) {
  OutputChoice choice;
  choice.folder = platform::WithTrailingSlash(settings.outputFileDir);
  choice.updateOnly = settings.run.updateOnly;
  std::string error;
  switch (settings.outputNames) {
    case OutputNames::LikeSource: break;
    case OutputNames::ArtistAlbumTitle: choice.pattern = NamePattern::Parse(kArtistAlbumTitlePattern, error); break;
    case OutputNames::OwnPattern: choice.pattern = NamePattern::Parse(settings.namePattern, error); break;
  }
  return choice;
}

namespace {

// `subfolder` below its first part, the added folder's own name: "Music/Artist/Album" gives
// "Artist/Album".
std::string BelowAddedFolder(const std::string& subfolder) {
  const std::size_t slash = subfolder.find('/');
  return slash == std::string::npos ? std::string() : subfolder.substr(slash + 1);
}

// The folder the task's source was added with, ending with "/": its own folder when it was
// added by itself.
std::string AddedFolderOf(const ConversionTask& task) {
  std::string folder = platform::FolderOf(task.sourceFile);
  const std::string below = BelowAddedFolder(task.subfolder);
  if (below.empty()) return folder;
  const std::string tail = below + "/";
  // A sub-folder that does not end the source's path (a list from an older program) says
  // nothing about where the added folder was.
  if (folder.size() > tail.size() && folder.compare(folder.size() - tail.size(), tail.size(), tail) == 0)
    folder.resize(folder.size() - tail.size());
  return folder;
}

}  // namespace

NameFields NameFieldsOf(const ConversionTask& task) {
  NameFields fields;
  fields.artist = task.artist;
  fields.albumArtist = task.albumArtist;
  fields.album = task.album;
  fields.title = task.title;
  fields.year = task.year;
  fields.genre = task.genre;
  int total = 0;
  tags::ParsePosition(task.track, fields.track, total);
  fields.disc = task.disc;
  fields.fileName = std::filesystem::path(task.sourceFile).stem().string();
  fields.folder = BelowAddedFolder(task.subfolder);
  return fields;
}

std::string OutputFileFor(const ConversionTask& task, const OutputChoice& choice) {
  if (!choice.pattern)
    return DefaultOutputFolder(task.sourceFile, choice.folder, task.subfolder) + Mp3FileNameFor(task.sourceFile);
  const std::string base = choice.folder.empty() ? AddedFolderOf(task) : choice.folder;
  return base + choice.pattern->Expand(NameFieldsOf(task));
}

std::string FreeOutputFile(const ConversionTask& task, const OutputChoice& choice,
                           const std::function<bool(const std::string&)>& taken) {
  return FirstFreeName(OutputFileFor(task, choice), [&](const std::string& candidate) {
    if (taken(candidate) || platform::FolderExists(candidate)) return true;
    // The task's own output may be there: it wrote it, or the user was asked about it already.
    return !choice.updateOnly && candidate != task.outputFile && platform::FileExists(candidate);
  });
}

std::vector<int> ApplyOutputChoice(TaskList& tasks, const OutputChoice& choice) {
  const auto follows = [](const ConversionTask& task) { return !task.ownOutput && !Finished(task.state); };
  // The names that stay are taken first; the others are given in list order after them.
  std::set<std::string> taken;
  for (int i = 0; i < tasks.Count(); ++i) {
    if (!follows(tasks[i])) taken.insert(tasks[i].outputFile);
  }
  std::vector<int> changed;
  for (int i = 0; i < tasks.Count(); ++i) {
    ConversionTask& task = tasks[i];
    if (!follows(task)) continue;
    std::string name = FreeOutputFile(task, choice, [&taken](const std::string& candidate) { return taken.count(candidate) > 0; });
    taken.insert(name);
    if (name == task.outputFile) continue;
    task.outputFile = std::move(name);
    changed.push_back(i);
  }
  return changed;
}

}  // namespace core
