// The task list kept on disk: every field comes back as it went, a damaged or foreign file is
// never taken (and never a crash), and one list has one keeper.
#include "core/task_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/paths/tests/test_support.h"

using namespace core;

using platform::testing::ReadFile;
using platform::testing::ScopedEnvironment;
using platform::testing::TempFolder;
using platform::testing::WriteFile;

namespace {

// A task whose every field differs from a new task's, with texts that need escaping.
ConversionTask FullTask() {
  ConversionTask task;
  task.sourceFile = "/home/ann/Music/100% live\nline two\r\t\x7F\x01/\xFF\xFE not UTF-8.wma";
  task.outputFile = "/home/ann/MP3/%41 stays %41.mp3";
  task.subfolder = "Music/100%";
  task.ownOutput = true;
  task.hasAudio = true;
  task.duration = 123'456'789'012;
  task.sourceSampleRate = 48000;
  task.sourceChannels = 6;
  task.estimatedSize = -7;
  task.encoding.bitrate = 320;
  task.encoding.vbr = true;
  task.encoding.vbrQuality = 9;
  task.encoding.vbrMinBitrate = 0;
  task.encoding.vbrMaxBitrate = 320;
  task.encoding.channelMode = engine::ChannelMode::Mono;
  task.encoding.sampleRate = 32000;
  task.title = "Caf\xC3\xA9 % 50%";
  task.artist = "A";
  task.album = "B";
  task.comment = "line\none";
  task.genre = "Rock";
  task.year = "2004-05-12";
  task.albumArtist = "C";
  task.composer = "D";
  task.track = "3/12";
  task.disc = 2;
  task.discTotal = 3;
  task.coverMimeType = "image/png";
  task.coverBytes = 9'000'000'000;
  task.omitCover = true;
  task.moreTags = {{tags::MoreTag::Lyrics, 1}, {tags::MoreTag::Rating, 5}, {tags::MoreTag::Other, 12}};
  task.checked = true;
  task.state = TaskState::Failed;
  task.stateDetail = "No such file or directory";
  task.outputBytes = -1;
  task.verified = true;
  return task;
}

TaskList ListOf(const std::vector<ConversionTask>& tasks) {
  TaskList list;
  for (const ConversionTask& task : tasks) list.Append(task);
  return list;
}

// A list text with `body` (its first line and task lines) and a last line that vouches for it
// (FNV-1a, as the file format says), so that the parser's own checks are what refuses it.
std::string Vouched(const std::string& body, int count) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (const char c : body) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3u;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llX", static_cast<unsigned long long>(hash));
  return body + "end " + std::to_string(count) + " " + hex + "\n";
}

TEST(TaskStoreText, EveryFieldOfEveryTaskComesBack) {
  ConversionTask second;
  second.sourceFile = "/a.wma";
  second.state = TaskState::UpToDate;
  ConversionTask third = FullTask();
  third.state = TaskState::Queued;
  for (const std::vector<ConversionTask>& tasks :
       {std::vector<ConversionTask>{}, {ConversionTask{}}, {FullTask(), second, third}}) {
    const std::optional<std::vector<ConversionTask>> back = ParseTaskList(FormatTaskList(ListOf(tasks)));
    ASSERT_TRUE(back.has_value()) << FormatTaskList(ListOf(tasks));
    EXPECT_EQ(*back, tasks);
  }
  // Every state by its name, so that none is taken for another.
  for (const TaskState state : {TaskState::Ready, TaskState::Queued, TaskState::Waiting, TaskState::Converting,
                                TaskState::Done, TaskState::UpToDate, TaskState::Failed, TaskState::Skipped,
                                TaskState::Cancelled}) {
    ConversionTask task;
    task.state = state;
    const auto back = ParseTaskList(FormatTaskList(ListOf({task})));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->front().state, state);
  }
}

TEST(TaskStoreText, ValuesStayOnTheirLineAndReadable) {
  const std::string text = FormatTaskList(ListOf({FullTask()}));
  EXPECT_NE(text.find("\nsource /home/ann/Music/100%25 live%0Aline two%0D%09%7F%01/\xFF\xFE not UTF-8.wma\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\ntitle Caf\xC3\xA9 %25 50%25\n"), std::string::npos) << text;
}

// A list that an older program wrote lacks the fields added since: they read as a new task's.
TEST(TaskStoreText, AMissingFieldReadsAsANewTasks) {
  const auto back = ParseTaskList(Vouched("Tavisto task list 1\ntask\nsource /a.wma\nchecked 1\n", 1));
  ASSERT_TRUE(back.has_value());
  ConversionTask expected;
  expected.sourceFile = "/a.wma";
  expected.checked = true;
  EXPECT_EQ(back->front(), expected);
}

// Whatever is wrong with a file, nothing of it is taken.
TEST(TaskStoreText, DamagedOrForeignTextsAreRefusedWhole) {
  const std::string whole = FormatTaskList(ListOf({FullTask(), ConversionTask{}}));
  const std::string head = "Tavisto task list 1\ntask\n";
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"empty", ""},
      {"no last line", whole.substr(0, whole.rfind("end "))},
      {"another first line", Vouched("Tavisto task list 2\n", 0)},
      {"a settings file", "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software]\n"},
      {"binary", std::string("\x00\x01\x02\xFF\n", 5)},
      {"a field before any task", Vouched("Tavisto task list 1\nsource /a\n", 0)},
      {"an unknown field", Vouched(head + "colour red\n", 1)},
      {"a field twice", Vouched(head + "source /a\nsource /b\n", 1)},
      {"a line without a value", Vouched(head + "source\n", 1)},
      {"a number with text after it", Vouched(head + "duration 12s\n", 1)},
      {"a number too large", Vouched(head + "disc 4294967296\n", 1)},
      {"a flag that is neither 0 nor 1", Vouched(head + "checked 2\n", 1)},
      {"an unknown state", Vouched(head + "state finished\n", 1)},
      {"an unknown channel mode", Vouched(head + "channel-mode 7\n", 1)},
      {"an unknown further tag", Vouched(head + "more-tags 4:1,999:1\n", 1)},
      {"a further tag without a count", Vouched(head + "more-tags 4\n", 1)},
      {"a cut escape", Vouched(head + "source /a%4\n", 1)},
      {"an escape that is no number", Vouched(head + "source /a%G1\n", 1)},
      {"a raw control byte", Vouched(head + "source /a\tb\n", 1)},
      {"a count that does not match", Vouched(head + "source /a\n", 2)},
      {"a hash of something else", head + "source /a\nend 1 0000000000000000\n"},
      {"bytes after the last line", whole + "task\n"},
      {"no line break at the end", whole.substr(0, whole.size() - 1)},
  };
  for (const auto& [what, text] : cases) EXPECT_FALSE(ParseTaskList(text).has_value()) << what;
}

// A file cut anywhere, or with any one byte changed, is told from a whole one.
TEST(TaskStoreText, EveryCutAndEveryChangedByteIsNoticed) {
  const std::string whole = FormatTaskList(ListOf({FullTask()}));
  for (std::size_t size = 0; size < whole.size(); ++size)
    EXPECT_FALSE(ParseTaskList(whole.substr(0, size)).has_value()) << size;
  for (std::size_t at = 0; at < whole.size(); ++at) {
    std::string changed = whole;
    changed[at] = static_cast<char>(changed[at] ^ 0x04);
    EXPECT_FALSE(ParseTaskList(changed).has_value()) << at;
  }
}

TEST(TaskStoreText, AnEndedSessionsRunIsOverButItsResultsStay) {
  const std::pair<TaskState, TaskState> cases[] = {
      {TaskState::Queued, TaskState::Ready},      {TaskState::Waiting, TaskState::Ready},
      {TaskState::Converting, TaskState::Ready},  {TaskState::Ready, TaskState::Ready},
      {TaskState::Done, TaskState::Done},         {TaskState::UpToDate, TaskState::UpToDate},
      {TaskState::Failed, TaskState::Failed},     {TaskState::Skipped, TaskState::Skipped},
      {TaskState::Cancelled, TaskState::Cancelled},
  };
  for (const auto& [kept, back] : cases) {
    ConversionTask task = FullTask();
    task.state = kept;
    const ConversionTask recovered = RecoveredTask(task);
    EXPECT_EQ(recovered.state, back);
    task.state = back;
    EXPECT_EQ(recovered, task) << "only the state changes";
  }
}

TEST(TaskStorePlace, OneFilePerDisplayUnderTheStateFolder) {
  TempFolder temp;
  {
    ScopedEnvironment state("XDG_STATE_HOME", temp / "state");
    EXPECT_EQ(TaskListPath(InstanceName(":0")), temp / "state/tavisto/tasks-:0.list");
  }
  {
    ScopedEnvironment state("XDG_STATE_HOME", std::string("relative/state"));
    ScopedEnvironment home("HOME", temp / "home");
    EXPECT_EQ(StateFolder(), temp / "home/.local/state/tavisto/");
  }
  const std::pair<const char*, const char*> names[] = {
      {":0", ":0"}, {":1.0", ":1.0"}, {"wayland-0", "wayland-0"}, {"", "default"},
      {"/run/user/1000/wayland-1", "_run_user_1000_wayland-1"}, {"host name:0 \n", "host_name:0__"},
  };
  for (const auto& [display, name] : names) EXPECT_EQ(InstanceName(display), name) << display;
}

class TaskStoreTest : public ::testing::Test {
 protected:
  TempFolder temp_;
  const std::string path_ = temp_ / "state/tavisto/tasks-:0.list";
};

TEST_F(TaskStoreTest, SaveLoadAndDiscardInAPrivateFolder) {
  TaskStore store;
  ASSERT_TRUE(store.Open(path_));
  struct stat folder {};
  ASSERT_EQ(::stat((temp_ / "state/tavisto").c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);
  EXPECT_FALSE(store.Load().has_value()) << "no list yet";

  const TaskList tasks = ListOf({FullTask(), ConversionTask{}});
  ASSERT_TRUE(store.Save(tasks));
  EXPECT_EQ(ReadFile(path_), FormatTaskList(tasks));
  const auto loaded = store.Load();
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->size(), 2u);

  // An unchanged list is not written again: the file the user replaced stays.
  WriteFile(path_, "changed by hand");
  ASSERT_TRUE(store.Save(tasks));
  EXPECT_EQ(ReadFile(path_), "changed by hand");
  EXPECT_FALSE(store.Load().has_value()) << "a damaged file is no list";

  store.Discard();
  EXPECT_FALSE(std::filesystem::exists(path_));
  ASSERT_TRUE(store.Save(tasks)) << "written again after a discard";
  EXPECT_EQ(ReadFile(path_), FormatTaskList(tasks));
}

// A second process on the same display (or a second store in this one) never writes over the
// first one's list; the list of another display is another file.
TEST_F(TaskStoreTest, AListHasOneKeeperAtATime) {
  auto first = std::make_unique<TaskStore>();
  ASSERT_TRUE(first->Open(path_));
  ASSERT_TRUE(first->Save(ListOf({FullTask()})));
  TaskStore second;
  EXPECT_FALSE(second.Open(path_));
  EXPECT_TRUE(second.HeldElsewhere());
  EXPECT_FALSE(second.Save(TaskList{}));
  EXPECT_FALSE(second.Load().has_value());
  second.Discard();
  EXPECT_EQ(ReadFile(path_), FormatTaskList(ListOf({FullTask()})));

  TaskStore otherDisplay;
  EXPECT_TRUE(otherDisplay.Open(temp_ / "state/tavisto/tasks-:1.list"));

  first.reset();  // the keeper ends (or is killed): the list is free
  TaskStore next;
  ASSERT_TRUE(next.Open(path_));
  EXPECT_TRUE(next.Load().has_value());
}

}  // namespace
