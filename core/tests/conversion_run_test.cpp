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

using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;

namespace {

constexpr std::int64_t kSecond = 10'000'000;

class ConversionRunTest : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = platform::SetMainDispatcher(&main_); }
  void TearDown() override {
    run.reset();
    platform::SetMainDispatcher(previous_);
  }

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
    item.encoding.tags.title = std::filesystem::path(source).stem();
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
    run = std::make_unique<ConversionRun>(std::move(items), jobs, std::move(handlers));
    run->Start();
  }
  bool RunUntil(const std::function<bool()>& done) { return main_.RunUntil(done, std::chrono::seconds(60)); }
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
  platform::PlainDispatcher main_;

 private:
  platform::MainThreadDispatcher* previous_ = nullptr;
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
  for (const char* name : {"replace.mp3", "skip.mp3", "keep.mp3"}) media_fixtures::WriteBytes(dir.File(name), {'o', 'l', 'd'});
  const std::vector<CollisionAnswer> answers = {CollisionAnswer::Replace, CollisionAnswer::Skip,
                                                CollisionAnswer::KeepBoth};
  std::vector<std::string> asked;
  ConversionRun::Handlers handlers;
  handlers.collision = [&](int item, const std::string& output) {
    asked.push_back(output);
    return answers[static_cast<std::size_t>(item)];
  };
  Start({Item(source, dir.File("replace.mp3"), 1), Item(source, dir.File("skip.mp3"), 1),
         Item(source, dir.File("keep.mp3"), 1), Item(source, dir.File("keep.mp3"), 1)},
        1, handlers);
  ASSERT_TRUE(Finish());
  EXPECT_EQ(asked, (std::vector<std::string>{dir.File("replace.mp3"), dir.File("skip.mp3"), dir.File("keep.mp3")}));
  EXPECT_EQ(State(0), ItemState::Done);
  EXPECT_TRUE(testsupport::DecodeAudioFile(dir.File("replace.mp3")).ok);
  EXPECT_EQ(State(1), ItemState::Skipped);
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
