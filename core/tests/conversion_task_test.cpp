#include "core/conversion_task.h"
#include "core/display_text.h"
#include "platform/text_encoding.h"

#include "platform/paths/tests/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>

using namespace core;

namespace {

class TaskModelTest : public ::testing::Test {
 protected:
  void AppendTitled(const char* title, const char* output = "") {
    ConversionTask task;
    task.title = title;
    task.outputFile = output;
    Tasks.Append(task);
  }

  TaskList Tasks;
};

TEST_F(TaskModelTest, RemovingTheFirstOfThreeMovesTheOthersDownAndKeepsThem) {
  AppendTitled("a");
  AppendTitled("b");
  AppendTitled("c");
  const ConversionTask* last = &Tasks[2];
  EXPECT_TRUE(Tasks.Remove(0));
  ASSERT_EQ(Tasks.Count(), 2);
  EXPECT_EQ(Tasks[0].title, "b");
  EXPECT_EQ(Tasks[1].title, "c");
  EXPECT_EQ(&Tasks[1], last);  // entries are separate records: the list moves, they do not
}

TEST_F(TaskModelTest, StoreCopiesTheWholeTaskBackIncludingChecked) {
  AppendTitled("old");
  ConversionTask edited = Tasks[0];
  edited.title = "new";
  edited.checked = false;
  EXPECT_TRUE(Tasks.Store(0, edited));
  EXPECT_EQ(Tasks[0].title, "new");
  EXPECT_FALSE(Tasks[0].checked);
}

TEST_F(TaskModelTest, IndicesOutsideTheListChangeNothing) {
  AppendTitled("only");
  for (const int index : {-1, 1, 1000}) {
    EXPECT_FALSE(Tasks.Store(index, ConversionTask{}));
    EXPECT_FALSE(Tasks.Remove(index));
  }
  EXPECT_EQ(Tasks.Count(), 1);
  EXPECT_EQ(Tasks[0].title, "only");
}

TEST_F(TaskModelTest, OutputInUseComparesPathsByteForByte) {
  AppendTitled("a", "/home/ann/Music/Song.mp3");
  EXPECT_TRUE(Tasks.WritesTo("/home/ann/Music/Song.mp3"));
  EXPECT_FALSE(Tasks.WritesTo("/home/ann/Music/song.mp3"));
  EXPECT_FALSE(Tasks.WritesTo("/home/ann/Music/Song.mp3 "));
  EXPECT_FALSE(Tasks.WritesTo(""));
}

TEST_F(TaskModelTest, PathsLongerThanATagTextAreKeptWhole) {
  const std::string folder = "/home/ann/" + std::string(300, 'd') + "/";
  ConversionTask task;
  task.sourceFile = folder + "song.wma";
  task.outputFile = folder + "song.mp3";
  Tasks.Append(task);
  EXPECT_EQ(Tasks[0].sourceFile, folder + "song.wma");
  EXPECT_TRUE(Tasks.WritesTo(folder + "song.mp3"));
}

TEST(SizeEstimate, ThreeMinuteAndTwoHundredFiveSecondExamples) {
  EXPECT_EQ(EstimateOutputSize(128, 1'800'000'000), 2966);

  ConversionTask task;
  task.duration = 1'800'000'000;
  task.encoding.bitrate = 128;
  task.encoding.vbrMinBitrate = 128;
  task.encoding.vbrMaxBitrate = 256;
  EXPECT_EQ(EstimateTaskSize(task), 2880);
  task.encoding.vbr = true;
  EXPECT_EQ(EstimateTaskSize(task), 4320);

  task.duration = 2'059'000'000;  // 205.9 s: whole seconds only
  EXPECT_EQ(EstimateTaskSize(task), 4920);
  task.encoding.vbr = false;
  EXPECT_EQ(EstimateTaskSize(task), 3280);
}

TEST(SizeEstimate, ZeroDurationGivesZero) {
  EXPECT_EQ(EstimateOutputSize(128, 0), 0);
  ConversionTask task;
  task.encoding.bitrate = 128;
  EXPECT_EQ(EstimateTaskSize(task), 0);
}

// A header may claim any duration; the estimate must stay a sensible 32-bit number (and the
// conversion defined, which the sanitizer build checks).
TEST(SizeEstimate, HostileDurationsAndRatesStayInRange) {
  constexpr auto kMax64 = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMax32 = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(EstimateOutputSize(320, kMax64), kMax32);
  EXPECT_EQ(EstimateOutputSize(128, -1'800'000'000), 0);
  EXPECT_EQ(EstimateOutputSize(-128, -1'800'000'000), 0);

  ConversionTask task;
  task.duration = kMax64;
  task.encoding.vbr = true;
  task.encoding.vbrMinBitrate = kMax32;
  task.encoding.vbrMaxBitrate = kMax32;
  EXPECT_EQ(EstimateTaskSize(task), kMax32);
  task.encoding.vbr = false;
  task.encoding.bitrate = -128;
  EXPECT_EQ(EstimateTaskSize(task), 0);
}

TEST(DurationText, TruncatesToTenthsWithTwoDigitMinutesAndSeconds) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "0:00:00.0"},
      {999'999, "0:00:00.0"},
      {3'723'450'000, "0:06:12.3"},
      {37'234'500'000, "1:02:03.4"},
      {2'059'000'000, "0:03:25.9"},
      {3'600'000'000'000, "100:00:00.0"},
      {-5'000'000, "0:00:00.0"},
  };
  for (const auto& [duration, text] : cases) EXPECT_EQ(FormatDuration(duration), text) << duration;
}

TEST(SizeText, MegabytesWithTwoDecimals) {
  const std::pair<std::int32_t, const char*> cases[] = {
      {2966, "2.90 MB"}, {2880, "2.81 MB"}, {4320, "4.22 MB"}, {0, "0.00 MB"}, {1024, "1.00 MB"}, {5, "0.00 MB"},
      {std::numeric_limits<std::int32_t>::max(), "2097152.00 MB"},
  };
  for (const auto& [kilobytes, text] : cases) EXPECT_EQ(FormatSize(kilobytes, "."), text) << kilobytes;
}

TEST(SizeText, UsesTheGivenDecimalSeparatorWhateverTheProcessLocale) {
  EXPECT_EQ(FormatSize(2966, ","), "2,90 MB");
}

TEST(TaskTexts, LongTitleIsCutToItsFirst255Characters) {
  ConversionTask task;
  task.title = std::string(300, 't');
  EXPECT_EQ(task.title.str(), std::string(255, 't'));
}

TEST(TaskTexts, MultiByteTextIsCutBetweenCharacters) {
  const std::string kanji = "\xE6\x9D\xB1";  // one character, three bytes
  ConversionTask task;
  task.artist = std::string(254, 'a') + kanji + kanji;
  EXPECT_EQ(task.artist.str(), std::string(254, 'a') + kanji);

  std::string accents;
  for (int i = 0; i < 200; ++i) accents += "\xC3\xA9";  // two bytes each
  task.album = std::string(100, 'a') + accents;
  EXPECT_TRUE(IsValidUtf8(task.album.str()));
  EXPECT_EQ(task.album.str().size(), 100 + 155 * 2u);
}

TEST(TaskTexts, Legacy8BitTagTextsBecomeUtf8) {
  ConversionTask task;
  task.title = "Caf\xE9 \x93Live\x94";
  EXPECT_EQ(task.title, "Caf\xC3\xA9 \xE2\x80\x9CLive\xE2\x80\x9D");
  task.artist = "Caf\xC3\xA9";  // already UTF-8: unchanged
  EXPECT_EQ(task.artist, "Caf\xC3\xA9");
  task.genre = static_cast<const char*>(nullptr);
  EXPECT_TRUE(task.genre.empty());
}

}  // namespace

namespace {

// ---- Output names under the main window's choice ----

ConversionTask TaggedTask(const std::string& source, const std::string& subfolder = {}) {
  ConversionTask task;
  task.sourceFile = source;
  task.subfolder = subfolder;
  task.title = "Song";
  task.artist = "Band";
  task.album = "Album";
  task.track = "3/12";
  return task;
}

OutputChoice Choice(const std::string& folder, std::optional<std::string> pattern, bool updateOnly = false) {
  Settings settings;
  settings.outputFileDir = folder;
  settings.run.updateOnly = updateOnly;
  if (pattern) {
    settings.outputNames = OutputNames::OwnPattern;
    settings.namePattern = *pattern;
  }
  return OutputChoiceOf(settings);
}

TEST(OutputChoice, NamesFromTheFolderThePatternAndWhereTheSourceWasAdded) {
  const std::string artistAlbum = kArtistAlbumTitlePattern;
  struct Case {
    const char* what;
    ConversionTask task;
    OutputChoice choice;
    std::string name;
  };
  const Case cases[] = {
      {"like the source, beside it", TaggedTask("/m/in/a.wma"), Choice("", std::nullopt), "/m/in/a.mp3"},
      {"like the source, in a folder with the added folder's tree", TaggedTask("/m/in/Album/CD1/a.wma", "Album/CD1"),
       Choice("/out", std::nullopt), "/out/Album/CD1/a.mp3"},
      {"a pattern in a folder", TaggedTask("/m/in/Album/CD1/a.wma", "Album/CD1"), Choice("/out/", artistAlbum),
       "/out/Band/Album/03 Song.mp3"},
      {"a pattern beside a file added by itself", TaggedTask("/m/in/a.wma"), Choice("", artistAlbum),
       "/m/in/Band/Album/03 Song.mp3"},
      {"a pattern beside the sources goes below the added folder", TaggedTask("/m/Music/Band/CD1/a.wma", "Music/Band/CD1"),
       Choice("", artistAlbum), "/m/Music/Band/Album/03 Song.mp3"},
      {"%folder% is the part below the added folder", TaggedTask("/m/Music/Band/CD1/a.wma", "Music/Band/CD1"),
       Choice("/out/", "%folder%/%filename%"), "/out/Band/CD1/a.mp3"},
      {"%folder% is empty for a file added by itself", TaggedTask("/m/in/a.wma"), Choice("/out/", "%folder%/%filename%"),
       "/out/a.mp3"},
      {"an own pattern that does not parse names like the source", TaggedTask("/m/in/a.wma"), Choice("/out/", "%nope%"),
       "/out/a.mp3"},
  };
  for (const Case& c : cases) EXPECT_EQ(OutputFileFor(c.task, c.choice), c.name) << c.what;
}

class OutputChoiceFiles : public ::testing::Test {
 protected:
  std::string File(const std::string& name) {
    const std::string path = temp_ / name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "x";
    return path;
  }
  platform::testing::TempFolder temp_;
};

// Listed tasks follow a new choice, numbered in list order; a task the user named in the wizard
// and one whose MP3 is made keep their names, and the names they hold are not given again.
TEST_F(OutputChoiceFiles, ApplyingAChoiceRenamesTheTasksThatFollowIt) {
  const std::string in = temp_.path() + "/in/";
  TaskList tasks;
  ConversionTask own = TaggedTask(in + "own.wma");
  own.outputFile = temp_.path() + "/out/Band/Album/03 Song.mp3";
  own.ownOutput = true;
  ConversionTask done = TaggedTask(in + "done.wma");
  done.outputFile = in + "done.mp3";
  done.state = TaskState::Done;
  tasks.Append(TaggedTask(in + "a.wma"));
  tasks.Append(own);
  tasks.Append(done);
  tasks.Append(TaggedTask(in + "b.wma"));
  const std::vector<int> changed =
      ApplyOutputChoice(tasks, Choice(temp_.path() + "/out/", std::string(kArtistAlbumTitlePattern)));
  EXPECT_EQ(changed, (std::vector<int>{0, 3}));
  EXPECT_EQ(tasks[0].outputFile, temp_.path() + "/out/Band/Album/03 Song (2).mp3");
  EXPECT_EQ(tasks[1].outputFile, own.outputFile);
  EXPECT_EQ(tasks[2].outputFile, done.outputFile);
  EXPECT_EQ(tasks[3].outputFile, temp_.path() + "/out/Band/Album/03 Song (3).mp3");
  // Applying it again changes nothing: the names are stable.
  EXPECT_TRUE(ApplyOutputChoice(tasks, Choice(temp_.path() + "/out/", std::string(kArtistAlbumTitlePattern))).empty());
}

// An MP3 already there is numbered away from, unless the run is to judge it (only new or
// changed files); a task's own output is never numbered away from itself.
TEST_F(OutputChoiceFiles, AnExistingMp3IsNumberedAwayFromUnlessTheRunJudgesIt) {
  const std::string existing = File("in/a.mp3");
  ConversionTask task = TaggedTask(temp_ / "in/a.wma");
  const auto none = [](const std::string&) { return false; };
  EXPECT_EQ(FreeOutputFile(task, Choice("", std::nullopt), none), temp_ / "in/a (2).mp3");
  EXPECT_EQ(FreeOutputFile(task, Choice("", std::nullopt, true), none), existing);
  task.outputFile = existing;
  EXPECT_EQ(FreeOutputFile(task, Choice("", std::nullopt), none), existing);
  // A folder under the name is never an MP3 to replace.
  std::filesystem::create_directories(temp_ / "in/b.mp3");
  EXPECT_EQ(FreeOutputFile(TaggedTask(temp_ / "in/b.wma"), Choice("", std::nullopt, true), none),
            temp_ / "in/b (2).mp3");
}

// ---- What a run takes from a task and gives back ----

TEST(RunOfATask, TheOptionsReachEveryItem) {
  RunOptions options;
  options.updateOnly = true;
  options.verify = false;
  options.replayGain = false;
  options.folderArt = false;
  const RunItem item = ItemOf(TaggedTask("/m/a.wma"), options);
  EXPECT_TRUE(item.updateOnly);
  EXPECT_FALSE(item.verify);
  EXPECT_FALSE(item.replayGain);
  EXPECT_FALSE(item.tags.folderArt);
  const RunItem plain = ItemOf(TaggedTask("/m/a.wma"));
  EXPECT_FALSE(plain.updateOnly);
  EXPECT_TRUE(plain.verify && plain.replayGain && plain.tags.folderArt);
}

TEST(RunOfATask, EachReportBecomesTheTasksState) {
  struct Case {
    const char* what;
    ItemReport report;
    TaskState state;
    bool checked;
    std::string detail;
    bool verified;
  };
  ItemReport done;
  done.state = ItemState::Done;
  done.outputFile = "/m/a (2).mp3";
  done.outputBytes = 1234;
  done.verified = true;
  ItemReport warned = done;
  warned.verified = false;
  warned.warning = "only 1 of the 2 seconds";
  ItemReport upToDate;
  upToDate.state = ItemState::Skipped;
  upToDate.skip = SkipReason::UpToDate;
  upToDate.reason = "Up to date";
  ItemReport exists = upToDate;
  exists.skip = SkipReason::OutputExists;
  exists.reason = "already exists";
  ItemReport failed;
  failed.state = ItemState::Failed;
  failed.reason = "No such file";
  ItemReport asking;
  asking.state = ItemState::Asking;
  const Case cases[] = {
      {"done and verified", done, TaskState::Done, false, "", true},
      {"done with a warning", warned, TaskState::Done, false, "only 1 of the 2 seconds", false},
      {"up to date", upToDate, TaskState::UpToDate, false, "Up to date", false},
      {"skipped for an existing file", exists, TaskState::Skipped, true, "already exists", false},
      {"failed", failed, TaskState::Failed, true, "No such file", false},
      {"asking", asking, TaskState::Waiting, true, "", false},
  };
  for (const Case& c : cases) {
    ConversionTask task = TaggedTask("/m/a.wma");
    task.outputFile = "/m/a.mp3";
    task.checked = true;
    task.verified = true;  // from an earlier run
    TakeReport(task, c.report);
    EXPECT_EQ(task.state, c.state) << c.what;
    EXPECT_EQ(task.checked, c.checked) << c.what;
    EXPECT_EQ(task.stateDetail, c.detail) << c.what;
    EXPECT_EQ(task.verified, c.verified) << c.what;
    EXPECT_EQ(task.outputFile, c.state == TaskState::Done ? "/m/a (2).mp3" : "/m/a.mp3") << c.what;
  }
}

}  // namespace
