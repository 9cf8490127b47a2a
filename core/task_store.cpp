#include "core/task_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>

#include "platform/paths/file_read.h"
#include "platform/paths/folder_chain.h"
#include "platform/paths/path_names.h"
#include "platform/paths/user_dirs.h"
#include "platform/registry/atomic_write.h"

namespace core {

namespace {

constexpr std::string_view kFirstLine = "Tavisto task list 1";
constexpr std::string_view kTaskLine = "task";
constexpr std::string_view kLastLineStart = "end ";
// A list of a hundred thousand tasks is some tens of megabytes; more is no list of ours.
constexpr std::size_t kMostListBytes = 256u << 20;

// ---- Values ----

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool Escaped(unsigned char byte) { return byte < 0x20 || byte == 0x7F || byte == '%'; }

std::string Format(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (Escaped(byte)) {
      out += '%';
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}
std::string Format(const std::string& text) { return Format(std::string_view(text)); }
std::string Format(const TaskText& text) { return Format(text.str()); }
std::string Format(bool value) { return value ? "1" : "0"; }
std::string Format(std::int32_t value) { return std::to_string(value); }
std::string Format(std::int64_t value) { return std::to_string(value); }
std::string Format(engine::ChannelMode mode) { return std::to_string(engine::NumberOf(mode)); }
// "4:1,5:3": each kind of further tag by its number in MoreTag and its count.
std::string Format(const std::vector<tags::MoreTagCount>& moreTags) {
  std::string text;
  for (const tags::MoreTagCount& entry : moreTags) {
    if (!text.empty()) text += ',';
    text += std::to_string(static_cast<int>(entry.tag)) + ':' + std::to_string(entry.count);
  }
  return text;
}

// The states by the names the file gives them: names, not numbers, so that a state added in
// the middle of the enumeration does not shift the others.
struct StateName {
  TaskState state;
  std::string_view name;
};
constexpr StateName kStateNames[] = {
    {TaskState::Ready, "ready"},   {TaskState::Queued, "queued"},     {TaskState::Waiting, "waiting"},
    {TaskState::Converting, "converting"}, {TaskState::Done, "done"}, {TaskState::UpToDate, "up-to-date"},
    {TaskState::Failed, "failed"}, {TaskState::Skipped, "skipped"},   {TaskState::Cancelled, "cancelled"},
};
std::string Format(TaskState state) {
  for (const StateName& entry : kStateNames) {
    if (entry.state == state) return std::string(entry.name);
  }
  return "ready";
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Parse(std::string_view value, std::string& text) {
  text.clear();
  text.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    const auto byte = static_cast<unsigned char>(value[i]);
    if (byte != '%') {
      // A raw control byte was never written: the file was changed by something else.
      if (Escaped(byte)) return false;
      text += value[i];
      continue;
    }
    if (i + 2 >= value.size()) return false;
    const int high = HexValue(value[i + 1]), low = HexValue(value[i + 2]);
    if (high < 0 || low < 0) return false;
    text += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}
bool Parse(std::string_view value, TaskText& text) {
  std::string bytes;
  if (!Parse(value, bytes)) return false;
  text = bytes;
  return true;
}
template <class Number>
bool ParseNumber(std::string_view value, Number& number) {
  Number parsed{};
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), parsed);
  if (value.empty() || error != std::errc() || end != value.data() + value.size()) return false;
  number = parsed;
  return true;
}
bool Parse(std::string_view value, std::int32_t& number) { return ParseNumber(value, number); }
bool Parse(std::string_view value, std::int64_t& number) { return ParseNumber(value, number); }
bool Parse(std::string_view value, bool& flag) {
  if (value != "0" && value != "1") return false;
  flag = value == "1";
  return true;
}
bool Parse(std::string_view value, engine::ChannelMode& mode) {
  std::int32_t number = 0;
  if (!ParseNumber(value, number)) return false;
  const std::optional<engine::ChannelMode> parsed = engine::ChannelModeOf(number);
  if (!parsed) return false;
  mode = *parsed;
  return true;
}
bool Parse(std::string_view value, std::vector<tags::MoreTagCount>& moreTags) {
  moreTags.clear();
  while (!value.empty()) {
    const std::size_t comma = std::min(value.find(','), value.size());
    const std::string_view entry = value.substr(0, comma);
    value.remove_prefix(std::min(comma + 1, value.size()));
    const std::size_t colon = entry.find(':');
    std::int32_t tag = 0, count = 0;
    if (colon == std::string_view::npos || !ParseNumber(entry.substr(0, colon), tag) ||
        !ParseNumber(entry.substr(colon + 1), count) || tag < 0 || tag > static_cast<int>(tags::MoreTag::Other) ||
        count < 1) {
      return false;
    }
    moreTags.push_back({static_cast<tags::MoreTag>(tag), count});
  }
  return true;
}
bool Parse(std::string_view value, TaskState& state) {
  for (const StateName& entry : kStateNames) {
    if (entry.name == value) {
      state = entry.state;
      return true;
    }
  }
  return false;
}

// ---- Fields ----

struct Field {
  std::string_view key;
  std::string (*format)(const ConversionTask& task);
  bool (*parse)(ConversionTask& task, std::string_view value);
};

template <auto Member>
constexpr Field TaskField(std::string_view key) {
  return {key, [](const ConversionTask& task) { return Format(task.*Member); },
          [](ConversionTask& task, std::string_view value) { return Parse(value, task.*Member); }};
}

template <auto Member>
constexpr Field EncodingField(std::string_view key) {
  return {key, [](const ConversionTask& task) { return Format(task.encoding.*Member); },
          [](ConversionTask& task, std::string_view value) { return Parse(value, task.encoding.*Member); }};
}

// Every field of a task, in the order they are written. A field added to ConversionTask gets a
// line here (the round-trip test fills every field and fails otherwise).
const Field kFields[] = {
    TaskField<&ConversionTask::sourceFile>("source"),
    TaskField<&ConversionTask::outputFile>("output"),
    TaskField<&ConversionTask::subfolder>("subfolder"),
    TaskField<&ConversionTask::ownOutput>("own-output"),
    TaskField<&ConversionTask::hasAudio>("has-audio"),
    TaskField<&ConversionTask::duration>("duration"),
    TaskField<&ConversionTask::sourceSampleRate>("source-sample-rate"),
    TaskField<&ConversionTask::sourceChannels>("source-channels"),
    TaskField<&ConversionTask::estimatedSize>("estimated-size"),
    EncodingField<&engine::EncodingSettings::bitrate>("bitrate"),
    EncodingField<&engine::EncodingSettings::vbr>("vbr"),
    EncodingField<&engine::EncodingSettings::vbrQuality>("vbr-quality"),
    EncodingField<&engine::EncodingSettings::vbrMinBitrate>("vbr-min-bitrate"),
    EncodingField<&engine::EncodingSettings::vbrMaxBitrate>("vbr-max-bitrate"),
    EncodingField<&engine::EncodingSettings::channelMode>("channel-mode"),
    EncodingField<&engine::EncodingSettings::sampleRate>("sample-rate"),
    TaskField<&ConversionTask::title>("title"),
    TaskField<&ConversionTask::artist>("artist"),
    TaskField<&ConversionTask::album>("album"),
    TaskField<&ConversionTask::comment>("comment"),
    TaskField<&ConversionTask::genre>("genre"),
    TaskField<&ConversionTask::year>("year"),
    TaskField<&ConversionTask::albumArtist>("album-artist"),
    TaskField<&ConversionTask::composer>("composer"),
    TaskField<&ConversionTask::track>("track"),
    TaskField<&ConversionTask::disc>("disc"),
    TaskField<&ConversionTask::discTotal>("disc-total"),
    TaskField<&ConversionTask::coverMimeType>("cover-type"),
    TaskField<&ConversionTask::coverBytes>("cover-bytes"),
    TaskField<&ConversionTask::omitCover>("omit-cover"),
    TaskField<&ConversionTask::moreTags>("more-tags"),
    TaskField<&ConversionTask::checked>("checked"),
    TaskField<&ConversionTask::state>("state"),
    TaskField<&ConversionTask::stateDetail>("state-detail"),
    TaskField<&ConversionTask::outputBytes>("output-bytes"),
    TaskField<&ConversionTask::verified>("verified"),
};
constexpr std::size_t kFieldCount = std::size(kFields);

// FNV-1a, 64 bits: enough to tell a damaged list from a whole one; nobody forges a task list.
std::uint64_t Hash(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3u;
  }
  return hash;
}

std::string HexOf(std::uint64_t value) {
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kHexDigits[value & 0xF];
  return text;
}

// The tasks of `body` (every line before the last), or nothing.
std::optional<std::vector<ConversionTask>> ParseBody(std::string_view body) {
  std::vector<ConversionTask> tasks;
  std::vector<bool> seen;
  bool first = true;
  for (std::size_t start = 0; start < body.size();) {
    const std::size_t end = body.find('\n', start);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view line = body.substr(start, end - start);
    start = end + 1;
    if (first) {
      if (line != kFirstLine) return std::nullopt;
      first = false;
      continue;
    }
    if (line == kTaskLine) {
      tasks.emplace_back();
      seen.assign(kFieldCount, false);
      continue;
    }
    const std::size_t blank = line.find(' ');
    if (tasks.empty() || blank == std::string_view::npos) return std::nullopt;
    const std::string_view key = line.substr(0, blank);
    std::size_t index = 0;
    while (index < kFieldCount && kFields[index].key != key) ++index;
    if (index == kFieldCount || seen[index]) return std::nullopt;
    seen[index] = true;
    if (!kFields[index].parse(tasks.back(), line.substr(blank + 1))) return std::nullopt;
  }
  if (first) return std::nullopt;
  return tasks;
}

}  // namespace

std::string FormatTaskList(const TaskList& tasks) {
  std::string text(kFirstLine);
  text += '\n';
  for (int i = 0; i < tasks.Count(); ++i) {
    text += kTaskLine;
    text += '\n';
    for (const Field& field : kFields) {
      text += field.key;
      text += ' ';
      text += field.format(tasks[i]);
      text += '\n';
    }
  }
  const std::uint64_t hash = Hash(text);
  text += kLastLineStart;
  text += std::to_string(tasks.Count()) + " " + HexOf(hash) + "\n";
  return text;
}

std::optional<std::vector<ConversionTask>> ParseTaskList(std::string_view text) {
  if (text.empty() || text.back() != '\n') return std::nullopt;
  const std::size_t previous = text.rfind('\n', text.size() - 2);
  const std::size_t lastStart = previous == std::string_view::npos ? 0 : previous + 1;
  const std::string_view body = text.substr(0, lastStart);
  std::string_view last = text.substr(lastStart, text.size() - 1 - lastStart);
  if (last.substr(0, kLastLineStart.size()) != kLastLineStart) return std::nullopt;
  last.remove_prefix(kLastLineStart.size());
  const std::size_t blank = last.find(' ');
  if (blank == std::string_view::npos || last.size() - blank - 1 != 16) return std::nullopt;
  std::size_t count = 0;
  if (!ParseNumber(last.substr(0, blank), count) || last.substr(blank + 1) != HexOf(Hash(body))) return std::nullopt;
  std::optional<std::vector<ConversionTask>> tasks = ParseBody(body);
  if (!tasks || tasks->size() != count) return std::nullopt;
  return tasks;
}

ConversionTask RecoveredTask(ConversionTask task) {
  switch (task.state) {
    case TaskState::Queued:
    case TaskState::Waiting:
    case TaskState::Converting: task.state = TaskState::Ready; break;
    default: break;
  }
  return task;
}

std::string StateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return platform::WithTrailingSlash(state) + "tavisto/";
  const std::string home = platform::HomeFolder();
  return home + (home == "/" ? "" : "/") + ".local/state/tavisto/";
}

std::string InstanceName(std::string_view display) {
  if (display.empty()) return "default";
  std::string name(display);
  for (char& c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                       c == ':' || c == '-' || c == '_';
    if (!plain) c = '_';
  }
  return name;
}

std::string TaskListPath(std::string_view instance) {
  return StateFolder() + "tasks-" + std::string(instance) + ".list";
}

namespace {

// Makes the folder of `path` when it is missing, the last one private: the list names the
// user's files.
bool MakePrivateFolderOf(const std::string& path) {
  std::string folder = platform::FolderOf(path);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.empty() || platform::FolderExists(folder)) return true;
  if (!platform::MakeFolderChain(platform::FolderOf(folder))) return false;
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

TaskStore::~TaskStore() { Close(); }

void TaskStore::Close() {
  if (lockFd_ >= 0) ::close(lockFd_);  // closing releases the lock
  lockFd_ = -1;
  written_.reset();
}

bool TaskStore::Open(const std::string& path) {
  Close();
  path_ = path;
  written_.reset();
  heldElsewhere_ = false;
  if (!MakePrivateFolderOf(path)) return false;
  const int fd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    heldElsewhere_ = errno == EWOULDBLOCK;
    ::close(fd);
    return false;
  }
  lockFd_ = fd;
  return true;
}

std::optional<std::vector<ConversionTask>> TaskStore::Load() const {
  if (lockFd_ < 0) return std::nullopt;
  const platform::FileReadResult read = platform::ReadRegularFile(path_, kMostListBytes);
  if (read.status != platform::FileReadStatus::Ok) return std::nullopt;
  return ParseTaskList(read.bytes);
}

bool TaskStore::Save(const TaskList& tasks, std::string* error) {
  if (lockFd_ < 0) return false;
  std::string text = FormatTaskList(tasks);
  if (written_ && *written_ == text) return true;
  // The folder may have gone since Open (a cleaned-up state folder): made private again.
  MakePrivateFolderOf(path_);
  if (!platform::WriteFileAtomically(path_, text, error)) return false;
  written_ = std::move(text);
  return true;
}

void TaskStore::Discard() {
  if (lockFd_ < 0) return;
  ::unlink(path_.c_str());
  written_.reset();
}

}  // namespace core
