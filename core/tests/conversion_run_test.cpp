// Conversion runs without any window: several items at once on real WMA files and the real
// encoder, with failures, pauses, cancels, a full disk and outputs that exist already.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "core/conversion_run.h"
#include "decoded_audio.h"
#include "platform/dispatcher.h"
#include "platform/paths/tests/test_support.h"

using namespace core;
using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;

namespace {

constexpr std::int64_t kSecond = 10'000'000;

class ConversionRunTest : public ::testing::Test {
 protected:
  void TearDown() override { run.reset(); }

  std::string Wma(const std::string& name, double seconds, int frequency = 1000) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(Ffmpeg(SineInput(frequency, 44100, seconds) + " -ac 2 -c:a wmav2", path));
    return path;
  }
  RunItem Item(const std::string& source, const std::string& output, double seconds) {
    RunItem item;
    item.sourceFile = source;
    item.outputFile = output;
    item.duration = static_cast<std::int64_t>(seconds * kSecond);
    item.tags.title = std::filesystem::path(source).stem();
    return item;
  }
  // Starts a run of `items`, recording every state each item passes through and the most
  // items converting at once.
  void Start(std::vector<RunItem> items, int jobs, ConversionRun::Handlers handlers = {}) {
    auto itemChanged = handlers.itemChanged;
    handlers.itemChanged = [this, itemChanged](int item) {
      states[item].push_back(run->Report(item).state);
      mostAtOnce = std::max(mostAtOnce, static_cast<int>(run->Converting().size()));
      if (itemChanged) itemChanged(item);
    };
    handlers.finished = [this] { ++finishedCalls; };
    run = std::make_unique<ConversionRun>(std::move(items), jobs, main_, std::move(handlers));
    run->Start();
  }
  // Serves the loop until `done` holds, looking again every few milliseconds as well: some of what
  // the tests wait for (a conversion holding still) posts nothing.
  bool RunUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      main_.RunUntil(done, std::chrono::milliseconds(5));
    }
    return true;
  }
  bool Finish() { return RunUntil([this] { return run->Finished(); }); }
  ItemState State(int item) const { return run->Report(item).state; }
  // The names in the folder, hidden temporary files included.
  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) names.insert(entry.path().filename());
    return names;
  }

  testsupport::TempDir dir;
  std::unique_ptr<ConversionRun> run;
  std::map<int, std::vector<ItemState>> states;
  int mostAtOnce = 0;
  int finishedCalls = 0;
  platform::EventLoop main_;
};

}  // namespace

// Two at a time, and a file that fails takes nothing from the others: each ends in its own
// state, the run finishes once.
TEST_F(ConversionRunTest, ItemsConvertSideBySideAndAFailureDoesNotStopTheOthers) {
  const std::string a = Wma("a.wma", 2), b = Wma("b.wma", 2, 500), c = Wma("c.wma", 2, 2000);
  media_fixtures::WriteBytes(dir.File("noise.wma"), media_fixtures::RandomBytes(30000, 4));
  Start({Item(a, dir.File("a.mp3"), 2), Item(dir.File("noise.wma"), dir.File("noise.mp3"), 2),
         Item(dir.File("missing.wma"), dir.File("missing.mp3"), 2), Item(b, dir.File("b.mp3"), 2),
         Item(c, dir.File("c.mp3"), 2)},
        2);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(finishedCalls, 1);
  EXPECT_EQ(mostAtOnce, 2);
  const std::vector<ItemState> converted = {ItemState::Converting, ItemState::Done};
  const std::vector<ItemState> failed = {ItemState::Converting, ItemState::Failed};
  EXPECT_EQ(states[0], converted);
  EXPECT_EQ(states[1], failed);
  EXPECT_EQ(states[2], failed);
  EXPECT_EQ(states[3], converted);
  EXPECT_EQ(states[4], converted);
  EXPECT_EQ(run->Report(1).reason, "Invalid data found when processing input");
  EXPECT_EQ(run->Report(2).reason, "No such file or directory");
  const std::map<std::string, double> pitches = {{"a.mp3", 1000}, {"b.mp3", 500}, {"c.mp3", 2000}};
  for (const auto& [name, pitch] : pitches) {
    const auto decoded = testsupport::DecodeAudioFile(dir.File(name));
    ASSERT_TRUE(decoded.ok) << name;
    EXPECT_NEAR(decoded.DominantFrequency(), pitch, pitch * 0.02) << name;
    EXPECT_NEAR(decoded.seconds(), 2.0, 0.05) << name;
  }
  EXPECT_GT(run->Report(0).outputBytes, 40000);
  EXPECT_EQ(Files(), (std::set<std::string>{"a.wma", "b.wma", "c.wma", "noise.wma", "a.mp3", "b.mp3", "c.mp3"}))
      << "failed items leave nothing, not even a temporary file";
  EXPECT_EQ(run->TotalPosition(), run->TotalLength());
}

// A file's end is reported once the next file has taken its slot, so that whatever the owner
// does with the report (a window redraws its lists, a terminal is slow) keeps no core idle; the
// run's end still comes after every report.
TEST_F(ConversionRunTest, TheNextItemStartsBeforeAnEndIsReported) {
  const std::string a = Wma("a.wma", 1), b = Wma("b.wma", 1, 500);
  media_fixtures::WriteBytes(dir.File("noise.wma"), media_fixtures::RandomBytes(30000, 4));
  std::vector<ItemState> nextAtEnd;  // the state of the following item as an end is reported
  bool reportedAfterTheEnd = false;
  ConversionRun::Handlers handlers;
  handlers.itemChanged = [&](int item) {
    if (finishedCalls > 0) reportedAfterTheEnd = true;
    if ((State(item) == ItemState::Done || State(item) == ItemState::Failed) && item + 1 < run->Count())
      nextAtEnd.push_back(State(item + 1));
  };
  Start({Item(a, dir.File("a.mp3"), 1), Item(dir.File("noise.wma"), dir.File("noise.mp3"), 1),
         Item(b, dir.File("b.mp3"), 1)},
        1, handlers);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(nextAtEnd, (std::vector<ItemState>{ItemState::Converting, ItemState::Converting}));
  EXPECT_EQ(states[1], (std::vector<ItemState>{ItemState::Converting, ItemState::Failed}));
  EXPECT_FALSE(reportedAfterTheEnd);
  EXPECT_EQ(finishedCalls, 1);
}

// Pause holds every converting item and starts no new one; cancel then ends them all, and
// nothing they wrote is left.
TEST_F(ConversionRunTest, PauseHoldsEveryItemAndCancelLeavesNothingBehind) {
  std::vector<RunItem> items;
  for (const char* name : {"p", "q", "r", "s"}) {
    items.push_back(Item(Wma(std::string(name) + ".wma", 30), dir.File(std::string(name) + ".mp3"), 30));
  }
  const std::set<std::string> sources = Files();
  Start(items, 2);
  ASSERT_TRUE(RunUntil([&] {
    const auto now = run->Converting();
    return now.size() == 2 && run->Position(now[0]) > 0 && run->Position(now[1]) > 0;
  }));
  run->Pause();
  ASSERT_TRUE(RunUntil([&] { return run->Holding(); }));
  const auto held = run->Converting();
  const std::int64_t at0 = run->Position(held[0]), at1 = run->Position(held[1]);
  EXPECT_GT(at0 + at1, 0);
  main_.ProcessPending();
  EXPECT_EQ(run->Position(held[0]), at0);
  EXPECT_EQ(run->Position(held[1]), at1);
  EXPECT_EQ(State(2), ItemState::Waiting) << "nothing starts while paused";

  run->Cancel();
  ASSERT_TRUE(Finish());
  for (int item = 0; item < 4; ++item) EXPECT_EQ(State(item), ItemState::Cancelled) << item;
  EXPECT_EQ(Files(), sources);
}

// A full disk fails its item like any other failure: the reason says why, the file goes.
TEST_F(ConversionRunTest, AFullDiskFailsTheItemAndLeavesNoFile) {
  const std::string small = Wma("small.wma", 1), large = Wma("large.wma", 10);
  const std::set<std::string> sources = Files();
  {
    platform::testing::ScopedFileSizeLimit fullDisk(100 * 1024);
    Start({Item(large, dir.File("large.mp3"), 10), Item(small, dir.File("small.mp3"), 1)}, 1);
    ASSERT_TRUE(Finish());
  }
  EXPECT_EQ(State(0), ItemState::Failed);
  EXPECT_NE(run->Report(0).reason.find("File too large"), std::string::npos) << run->Report(0).reason;
  EXPECT_EQ(State(1), ItemState::Done);
  std::set<std::string> expected = sources;
  expected.insert("small.mp3");
  EXPECT_EQ(Files(), expected);
}

// An output that exists when its item starts is the owner's to decide: replaced, skipped or
// kept beside a new numbered one. Two items of one run never share a name.
TEST_F(ConversionRunTest, ExistingOutputsAreReplacedSkippedOrKeptAsAnswered) {
  const std::string source = Wma("tone.wma", 1);
  std::vector<std::string> sources;
  for (int i = 0; i < 4; ++i) {
    sources.push_back(dir.File("tone" + std::to_string(i) + ".wma"));
    std::filesystem::copy_file(source, sources.back());
  }
  for (const char* name : {"replace.mp3", "skip.mp3", "keep.mp3"}) media_fixtures::WriteBytes(dir.File(name), {'o', 'l', 'd'});
  const std::vector<CollisionAnswer> answers = {CollisionAnswer::Replace, CollisionAnswer::Skip,
                                                CollisionAnswer::KeepBoth};
  std::vector<std::string> asked;
  ConversionRun::Handlers handlers;
  handlers.collision = [&](int item, const std::string& output) {
    asked.push_back(output);
    run->AnswerCollision(item, answers[static_cast<std::size_t>(item)]);
  };
  Start({Item(sources[0], dir.File("replace.mp3"), 1), Item(sources[1], dir.File("skip.mp3"), 1),
         Item(sources[2], dir.File("keep.mp3"), 1), Item(sources[3], dir.File("keep.mp3"), 1)},
        1, handlers);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(asked, (std::vector<std::string>{dir.File("replace.mp3"), dir.File("skip.mp3"), dir.File("keep.mp3")}));
  EXPECT_EQ(State(0), ItemState::Done);
  EXPECT_TRUE(testsupport::DecodeAudioFile(dir.File("replace.mp3")).ok);
  EXPECT_EQ(State(1), ItemState::Skipped);
  EXPECT_EQ(run->Report(1).skip, SkipReason::OutputExists);
  EXPECT_EQ(media_fixtures::ReadBytes(dir.File("skip.mp3")).size(), 3u);
  EXPECT_EQ(State(2), ItemState::Done);
  EXPECT_EQ(media_fixtures::ReadBytes(dir.File("keep.mp3")).size(), 3u);
  // The fourth item's name was taken by the third from the start; the third kept the old file
  // and took the next free name after it.
  EXPECT_TRUE(run->Report(3).renamed);
  EXPECT_EQ(run->Report(3).outputFile, dir.File("keep (2).mp3"));
  EXPECT_EQ(run->Report(2).outputFile, dir.File("keep (3).mp3"));
  EXPECT_TRUE(testsupport::DecodeAudioFile(dir.File("keep (2).mp3")).ok);
  EXPECT_TRUE(testsupport::DecodeAudioFile(dir.File("keep (3).mp3")).ok);
}

// While a question about an existing output waits for the user, the other items go on, the
// clock stands still, and the answer resumes the item that asked.
TEST_F(ConversionRunTest, AnOpenQuestionHoldsOnlyItsOwnItemAndTheClock) {
  const std::string a = Wma("a.wma", 1), b = Wma("b.wma", 1);
  media_fixtures::WriteBytes(dir.File("a.mp3"), {'o', 'l', 'd'});
  std::optional<int> askedFor;
  ConversionRun::Handlers handlers;
  handlers.collision = [&](int item, const std::string&) { askedFor = item; };
  Start({Item(a, dir.File("a.mp3"), 1), Item(b, dir.File("b.mp3"), 1)}, 1, handlers);
  ASSERT_TRUE(RunUntil([&] { return State(1) == ItemState::Done; }));
  ASSERT_EQ(askedFor, 0);
  EXPECT_EQ(State(0), ItemState::Asking);
  EXPECT_EQ(run->Asking(), 0);
  EXPECT_FALSE(run->Finished());
  const auto clock = run->Elapsed();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LT((run->Elapsed() - clock).count(), 100) << "the clock stands still while the user is asked";
  run->AnswerCollision(0, CollisionAnswer::Replace);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(State(0), ItemState::Done);
  EXPECT_TRUE(testsupport::DecodeAudioFile(dir.File("a.mp3")).ok);
}

namespace {

struct NamePlan {
  const char* name;
  // The items' sources and outputs, relative to the folder ("*" for a link to sub/).
  std::vector<std::pair<const char*, const char*>> items;
  // What each item's output becomes, or "" when the item does not convert.
  std::vector<const char*> planned;
};

class NamePlans : public ::testing::TestWithParam<NamePlan> {};

}  // namespace

// Names are planned from what files are, before anything converts, the same way every time.
TEST_P(NamePlans, FilesAreToldApartByWhatTheyAreNotBySpelling) {
  testsupport::TempDir dir;
  std::filesystem::create_directory(dir.File("sub"));
  std::filesystem::create_directory_symlink(dir.File("sub"), dir.File("link"));
  for (const char* name : {"song.wma", "song.mp3", "sub/song.wma", "sub/other.wma"})
    media_fixtures::WriteBytes(dir.File(name), {1});
  std::vector<RunItem> items;
  for (const auto& [source, output] : GetParam().items) {
    RunItem item;
    item.sourceFile = dir.File(source);
    item.outputFile = dir.File(output);
    items.push_back(item);
  }
  platform::EventLoop loop;
  const ConversionRun run(items, 1, loop, {});
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::string expected = GetParam().planned[i];
    const ItemReport& report = run.Report(static_cast<int>(i));
    if (expected.empty()) {
      EXPECT_NE(report.state, ItemState::Waiting) << i;
    } else {
      EXPECT_EQ(report.state, ItemState::Waiting) << i;
      EXPECT_EQ(report.outputFile, dir.File(expected)) << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, NamePlans,
    ::testing::Values(
        NamePlan{"SameFileTwoSpellings", {{"song.wma", "song.mp3x"}, {"./song.wma", "song.mp3x"}}, {"song.mp3x", ""}},
        NamePlan{"SameFileThroughALinkedFolder", {{"sub/song.wma", "a.mp3"}, {"link/song.wma", "b.mp3"}}, {"a.mp3", ""}},
        NamePlan{"DotDotSpelling", {{"sub/song.wma", "x.mp3"}, {"sub/../sub/song.wma", "y.mp3"}}, {"x.mp3", ""}},
        NamePlan{"TwoSourcesOneName", {{"song.wma", "out.mp3"}, {"sub/song.wma", "out.mp3"}}, {"out.mp3", "out (2).mp3"}},
        NamePlan{"OneNameTwoSpellings", {{"song.wma", "out.mp3"}, {"sub/other.wma", "sub/../out.mp3"}},
                 {"out.mp3", "sub/../out (2).mp3"}},
        NamePlan{"OneNameThroughALink", {{"song.wma", "sub/out.mp3"}, {"sub/other.wma", "link/out.mp3"}},
                 {"sub/out.mp3", "link/out (2).mp3"}},
        NamePlan{"AnOutputThatIsAnotherItemsSource", {{"song.wma", "song.mp3"}, {"song.mp3", "other.mp3"}},
                 {"song (2).mp3", "other.mp3"}},
        NamePlan{"AnOutputThatIsItsOwnSource", {{"song.mp3", "song.mp3"}}, {""}}),
    [](const auto& param) { return std::string(param.param.name); });
