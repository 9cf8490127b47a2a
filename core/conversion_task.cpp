#include "core/conversion_task.h"

#include "platform/text_encoding.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>

ConversionTask WorkingTask;
TaskList Tasks;
std::string ProgramFolder;

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

int BitrateIndex(std::int32_t kbps) {
  const auto found = std::find(BitrateTable.begin(), BitrateTable.end(), kbps);
  return found == BitrateTable.end() ? -1 : static_cast<int>(found - BitrateTable.begin());
}

int AppendWorkingTask() {
  const int index = Tasks.Append(WorkingTask);
  Tasks[index].checked = true;
  return index;
}

bool StoreWorkingTask(int index) { return Tasks.Store(index, WorkingTask); }

bool RemoveTask(int index) { return Tasks.Remove(index); }

bool IsOutputInUse(std::string_view path) {
  for (int i = 0; i < Tasks.Count(); ++i) {
    if (Tasks[i].outputFile == path) return true;
  }
  return false;
}

std::int32_t EstimateOutputSize(std::int32_t bitrate, std::int64_t duration) {
  if (bitrate <= 0 || duration <= 0) return 0;
  const double kilobytes = bitrate * (static_cast<double>(duration) / kUnitsPerSecond) / 8 * 1.03;
  // A hostile header can claim any duration: keep the conversion to 32 bits defined.
  if (kilobytes >= kLargestSize) return kLargestSize;
  return static_cast<std::int32_t>(std::floor(kilobytes));
}

std::int32_t EstimateTaskSize(const ConversionTask& task) {
  const std::int64_t seconds = task.duration / kUnitsPerSecond;
  const std::int64_t rate = task.vbr ? std::int64_t{task.vbrMinBitrate} + task.vbrMaxBitrate : task.bitrate;
  const std::int64_t divisor = task.vbr ? 16 : 8;
  if (seconds <= 0 || rate <= 0) return 0;
  // The 64-bit product itself could overflow for a claimed duration of millennia.
  if (seconds > std::numeric_limits<std::int64_t>::max() / rate) return kLargestSize;
  return static_cast<std::int32_t>(std::min<std::int64_t>(seconds * rate / divisor, kLargestSize));
}
