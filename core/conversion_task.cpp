#include "core/conversion_task.h"

#include "platform/text_encoding.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>

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

RunItem ItemOf(const ConversionTask& task) {
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
  return item;
}

}  // namespace core
