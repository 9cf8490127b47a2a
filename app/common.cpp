#include "app/common.h"

#include "app/dostring.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <ostream>

TConversionTask WorkingTask;
TaskList Tasks;
std::string ProgramFolder;

namespace {

constexpr std::int64_t kUnitsPerSecond = 10'000'000;
constexpr std::int32_t kLargestSize = std::numeric_limits<std::int32_t>::max();

}  // namespace

TaskText::TaskText(std::string_view text) : text_(CutToCharacters(ToValidUtf8(text), kMaxCharacters)) {}

std::ostream& operator<<(std::ostream& out, const TaskText& text) { return out << text.text_; }

int TaskList::Append(const TConversionTask& task) {
  entries_.push_back(std::make_unique<TConversionTask>(task));
  return Count() - 1;
}

bool TaskList::Store(int index, const TConversionTask& task) {
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
  Tasks[index].Checked = true;
  return index;
}

bool StoreWorkingTask(int index) { return Tasks.Store(index, WorkingTask); }

bool RemoveTask(int index) { return Tasks.Remove(index); }

bool IsOutputInUse(std::string_view path) {
  for (int i = 0; i < Tasks.Count(); ++i) {
    if (Tasks[i].OutputFile == path) return true;
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

std::int32_t EstimateTaskSize(const TConversionTask& task) {
  const std::int64_t seconds = task.Duration / kUnitsPerSecond;
  const std::int64_t rate = task.Vbr ? std::int64_t{task.VbrMinBitrate} + task.VbrMaxBitrate : task.Bitrate;
  const std::int64_t divisor = task.Vbr ? 16 : 8;
  if (seconds <= 0 || rate <= 0) return 0;
  // The 64-bit product itself could overflow for a claimed duration of millennia.
  if (seconds > std::numeric_limits<std::int64_t>::max() / rate) return kLargestSize;
  return static_cast<std::int32_t>(std::min<std::int64_t>(seconds * rate / divisor, kLargestSize));
}

std::string FormatDuration(std::int64_t duration) {
  const std::int64_t tenths = std::max<std::int64_t>(duration, 0) / 1'000'000;
  const std::int64_t hours = tenths / 36000;
  std::int64_t rest = tenths - hours * 36000;
  const std::int64_t minutes = rest / 600;
  rest -= minutes * 600;
  const std::int64_t seconds = rest / 10;
  const auto twoDigits = [](std::int64_t value) { return (value <= 9 ? "0" : "") + std::to_string(value); };
  return std::to_string(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(seconds) + "." +
         std::to_string(rest % 10);
}

std::string FormatSize(std::int32_t kilobytes) { return FormatSize(kilobytes, SystemDecimalSeparator()); }

std::string FormatSize(std::int32_t kilobytes, std::string_view decimalSeparator) {
  // to_chars ignores the process's locale, so the separator is exactly the one asked for.
  char digits[64];
  const auto written =
      std::to_chars(digits, digits + sizeof digits, kilobytes / 1024.0, std::chars_format::fixed, 2);
  std::string text(digits, written.ptr);
  const std::size_t point = text.find('.');
  if (point != std::string::npos) text.replace(point, 1, decimalSeparator);
  return text + " M";
}

std::string SystemDecimalSeparator() {
  static const std::string separator = [] {
    // Read the user's setting itself: the process's own locale is whatever the last
    // setlocale call made it.
    const locale_t user = ::newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr)) return std::string(".");
    const char* radix = ::nl_langinfo_l(RADIXCHAR, user);
    std::string text = radix != nullptr && radix[0] != '\0' ? radix : ".";
    ::freelocale(user);
    return text;
  }();
  return separator;
}
