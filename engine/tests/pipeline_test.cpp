// The pipeline framework's run lifecycle, driven by recording test components.
#include <gtest/gtest.h>

#include "test_components.h"

using namespace enginetest;
using namespace std::chrono_literals;

namespace {

struct Pipeline : ::testing::Test {
  MainThread main;
  Component owner{nullptr};
  RecordingOutput* output = new RecordingOutput(&owner);
  ToneInput* input = new ToneInput(&owner, 44100, 2, 44100);  // one second, 176400 bytes
  std::atomic<int> done{0};
  ErrorLog errors;
  std::vector<int> progress;

  void SetUp() override {
    output->SetInput(input);
    output->onDone = [this](Component*) { ++done; };
    output->onProgress = [this](Component*) { progress.push_back(output->Progress()); };
    output->onError = [this](Component*, const std::exception& e) { errors.Add(e.what()); };
  }
  bool Finish() { return main.RunUntil([&] { return done > 0 || !errors.Empty(); }); }
};

}  // namespace

TEST_F(Pipeline, CompleteRunDeliversEveryByteAndReportsDoneOnTheMainThread) {
  std::thread::id doneThread;
  output->onDone = [&](Component*) {
    doneThread = std::this_thread::get_id();
    ++done;
  };
  output->Run();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(doneThread, std::this_thread::get_id());
  ASSERT_EQ(output->recorded.size(), 176400u);
  for (std::size_t i = 0; i < output->recorded.size(); i += 997) ASSERT_EQ(output->recorded[i], input->ByteAt(i));
  EXPECT_EQ(output->doneCount, 1);
  EXPECT_EQ(input->flushCount, 1);
  EXPECT_EQ(output->Status(), OutputStatus::Idle);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.front(), 0);
  EXPECT_EQ(progress.back(), 100);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
}

TEST_F(Pipeline, RunWhileBusyRaisesAndRunWithoutInputChangesNothing) {
  output->LimitBlocks(1);
  output->Run();
  EXPECT_EQ(ErrorMessageOf([&] { output->Run(); }), "Component is Busy");
  output->Stop();
  output->Unlimit();
  ASSERT_TRUE(Finish());

  RecordingOutput* bare = new RecordingOutput(&owner);
  EXPECT_EQ(ErrorMessageOf([&] { bare->Run(); }), "Input is not assigned");
  EXPECT_EQ(bare->Status(), OutputStatus::Idle);
  EXPECT_EQ(bare->prepareCount, 0);
}

// An input of unknown length shows -1 throughout; an empty one 0, never a division by zero.
TEST_F(Pipeline, ProgressIsMinusOneForUnknownSizeAndZeroForEmptyOrMissingInput) {
  input->unknownSize = true;
  output->Run();
  ASSERT_TRUE(Finish());
  ASSERT_FALSE(progress.empty());
  for (int p : progress) EXPECT_EQ(p, -1);

  RecordingOutput* other = new RecordingOutput(&owner);
  EXPECT_EQ(other->Progress(), 0);
  ToneInput* empty = new ToneInput(&owner, 44100, 2, 0);
  other->SetInput(empty);
  empty->Init();
  EXPECT_EQ(other->Progress(), 0);
}

TEST_F(Pipeline, StopEndsTheRunThroughDoneAndOnDoneNotOnThreadException) {
  output->LimitBlocks(2);
  output->Run();
  ASSERT_TRUE(main.RunUntil([&] { return output->RecordedSize() >= 8192; }));
  output->Stop();
  output->Unlimit();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(done, 1);
  EXPECT_TRUE(errors.Empty());
  EXPECT_EQ(output->abortCalls, 1);
  EXPECT_EQ(output->doneCount, 1);
  EXPECT_LT(output->RecordedSize(), 176400u);
  EXPECT_EQ(output->Status(), OutputStatus::Idle);
}

TEST_F(Pipeline, ErrorInGetDataEndsTheRunThroughOnThreadExceptionAndANewRunIsAccepted) {
  input->failAfterCalls = 3;
  output->Run();
  ASSERT_TRUE(Finish());
  ASSERT_EQ(errors.Count(), 1u);
  EXPECT_EQ(errors.At(0), "decoder broke at call 3");
  errors.Clear();
  EXPECT_EQ(done, 0);
  EXPECT_EQ(output->doneCount, 1);
  EXPECT_EQ(input->flushCount, 1);
  EXPECT_EQ(output->Status(), OutputStatus::Idle);
  EXPECT_FALSE(output->Busy());

  input->failAfterCalls = -1;
  output->recorded.clear();
  output->Run();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(done, 1);
  EXPECT_EQ(output->recorded.size(), 176400u);
}

// Preparing opens files, so it happens on the worker: its error reaches the handler there, never
// the caller of Run, and the run ends without onDone.
TEST_F(Pipeline, ErrorInPrepareGoesToTheHandlerFromTheWorkerAndLeavesTheOutputIdle) {
  // A FileInput without a file name refuses Init; the error must not escape Run.
  struct NamelessFile : FileInput {
    using FileInput::FileInput;
    void OpenFile() override {}
    void CloseFile() override {}
    void Seek(std::int64_t) override {}
    int GetData(void*, int) override { return 0; }
  };
  auto* nameless = new NamelessFile(&owner);
  output->SetInput(nameless);
  std::atomic<bool> onCaller{true};
  const std::thread::id caller = std::this_thread::get_id();
  output->onError = [&](Component*, const std::exception& e) {
    onCaller = std::this_thread::get_id() == caller;
    errors.Add(e.what());
  };
  EXPECT_NO_THROW(output->Run());
  ASSERT_TRUE(Finish());
  ASSERT_EQ(errors.Count(), 1u);
  EXPECT_EQ(errors.At(0), "The file name is not assigned");
  EXPECT_FALSE(onCaller);
  EXPECT_EQ(output->Status(), OutputStatus::Idle);
  EXPECT_EQ(done, 0);
}

// Pausing must freeze the run where it is; resuming must continue with the very next byte.
TEST_F(Pipeline, PauseAndResumeContinueExactlyWhereTheRunStopped) {
  input->counting = true;
  output->LimitBlocks(5);
  output->Run();
  ASSERT_TRUE(main.RunUntil([&] { return output->RecordedSize() >= 20000; }));
  output->Pause();
  EXPECT_EQ(output->Status(), OutputStatus::Paused);
  output->Unlimit();
  // The block in hand lands, then the worker holds still.
  ASSERT_TRUE(main.RunUntil([&] { return output->Holding(); }));
  const std::size_t frozen = output->RecordedSize();
  EXPECT_LT(frozen, 176400u);
  main.dispatcher.ProcessPending();
  EXPECT_EQ(output->RecordedSize(), frozen);
  EXPECT_TRUE(output->Holding());
  output->Resume();
  EXPECT_EQ(output->Status(), OutputStatus::Busy);
  ASSERT_TRUE(Finish());
  ASSERT_EQ(output->recorded.size(), 176400u);
  for (std::size_t i = 0; i < output->recorded.size(); ++i) ASSERT_EQ(output->recorded[i], input->ByteAt(i)) << i;
}

TEST_F(Pipeline, StopWhilePausedTakesEffectOnResume) {
  output->LimitBlocks(2);
  output->Run();
  ASSERT_TRUE(main.RunUntil([&] { return output->RecordedSize() >= 8192; }));
  output->Pause();
  output->Stop();
  output->Unlimit();
  ASSERT_TRUE(main.RunUntil([&] { return output->Holding(); }));
  main.dispatcher.ProcessPending();
  EXPECT_EQ(done, 0);
  EXPECT_EQ(output->Status(), OutputStatus::Paused);
  output->Resume();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(done, 1);
}

// The worker waits for the main thread inside onProgress; the main thread destroys the output
// instead of serving it. Neither may wait for the other forever.
TEST_F(Pipeline, DestroyingAnOutputWhileItsWorkerWaitsForAHandOffDoesNotDeadlock) {
  std::atomic<bool> handlerRan{false};
  output->onProgress = [&](Component*) { handlerRan = true; };
  output->Run();
  // The worker's first hand-off is queued: it now waits for the main thread.
  ASSERT_TRUE(main.dispatcher.WaitForTask(5s));
  const auto start = std::chrono::steady_clock::now();
  delete output;
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  main.dispatcher.ProcessPending();  // the dropped hand-off must not run its handler now
  EXPECT_FALSE(handlerRan);
  // The unfinished run was finished on the way out.
  EXPECT_EQ(input->flushCount, 1);
}

TEST_F(Pipeline, SetInputWhileBusySwapsToTheNewInputAndFlushesTheOld) {
  output->LimitBlocks(2);
  ToneInput* second = new ToneInput(&owner, 44100, 2, 1000);
  output->Run();
  ASSERT_TRUE(main.RunUntil([&] { return output->RecordedSize() >= 8192; }));
  output->SetInput(second);
  EXPECT_EQ(second->initCount, 1);
  EXPECT_EQ(input->flushCount, 1);
  output->Unlimit();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(second->flushCount, 1);
  EXPECT_LT(output->RecordedSize(), 176400u + 4000u);
}

TEST_F(Pipeline, DestroyingTheInputClearsTheOutputsReference) {
  delete input;
  EXPECT_EQ(output->Input(), nullptr);
  EXPECT_EQ(ErrorMessageOf([&] { output->Run(); }), "Input is not assigned");
}

TEST(Components, AnOwnerDestroysWhatItOwns) {
  struct Probe : Component {
    Probe(Component* owner, int& counter) : Component(owner), counter_(counter) {}
    ~Probe() override { ++counter_; }
    int& counter_;
  };
  int destroyed = 0;
  auto* owner = new Component(nullptr);
  new Probe(owner, destroyed);
  auto* second = new Probe(owner, destroyed);
  new Probe(second, destroyed);
  EXPECT_EQ(owner->ComponentCount(), 2);
  delete owner;
  EXPECT_EQ(destroyed, 3);
}

TEST(Components, FileModeAppendReadsBackAsRewrite) {
  FileOutput* out = nullptr;
  struct PlainFileOut : FileOutput {
    using FileOutput::FileOutput;
    ~PlainFileOut() override { TerminateWorker(); }
    bool DoOutput(bool) override { return false; }
    void Done() override {}
    void Prepare() override {}
  };
  PlainFileOut file(nullptr);
  out = &file;
  out->SetFileMode(FileOutputMode::Append);
  EXPECT_EQ(out->FileMode(), FileOutputMode::Rewrite);
}
