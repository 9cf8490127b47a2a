// The audio pipeline framework. An input produces raw PCM on request, block by block; an output
// owns a worker thread that pulls blocks from its input and consumes them, and reports the end
// of a run, its progress and any error through events.
//
// Threads: the main thread creates and destroys components and calls Run, Stop, Pause, Resume
// and SetInput; Prepare and the input's Init run on the caller of Run. The output's worker calls
// DoOutput (hence the input's GetData), WhenDone (hence Done and the input's Flush). OnProgress
// and OnDone run on the main thread through the main-thread dispatcher while the worker waits;
// OnThreadException runs on the worker (or on the caller of Run for a failure in Prepare).
//
// Ownership: components are owned by their owner (see TComponent). An output does not own its
// input; when the input is destroyed the output is told and drops the reference.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/component.h"
#include "engine/file_stream.h"
#include "platform/dispatcher.h"
#include "platform/exception.h"

namespace engine {

// Every error the framework raises itself.
class EACSException : public platform::Exception {
 public:
  using platform::Exception::Exception;
};

enum TFileOutputMode { foRewrite = 0, foAppend = 1 };
enum TOutputStatus { osBusy = 0, osPaused = 1, osIdle = 2 };

using TOutputDoneEvent = std::function<void(TComponent* sender)>;
using TOutputProgressEvent = std::function<void(TComponent* sender)>;
using TThreadExceptionEvent = std::function<void(TComponent* sender, const std::exception& e)>;

// An abstract PCM source.
class TACSInput : public TComponent {
 public:
  explicit TACSInput(TComponent* owner);

  virtual int GetBitsPerSample() = 0;
  virtual int GetChannels() = 0;
  virtual int GetSampleRate() = 0;
  // Playing time in whole seconds; the base knows none.
  virtual int GetTotalTime();
  // Copies at most `bufferSize` bytes of PCM into `buffer`; 0 means the input is exhausted.
  virtual int GetData(void* buffer, int bufferSize) = 0;
  // Ends the run (Flush), swallowing any error, and clears Busy.
  virtual void Reset();
  // Prepares the input for a run; called once from the output's Prepare.
  virtual void Init() = 0;
  // Ends the run of the input; called once from the output's Done.
  virtual void Flush() = 0;

  // Bytes delivered since Init; readable from any thread.
  std::int64_t Position() const { return FPosition.load(std::memory_order_relaxed); }
  // Bytes this input will deliver in the run, or -1 when the length cannot be known.
  std::int64_t Size() const { return FSize.load(std::memory_order_relaxed); }
  bool Busy() const { return FBusy.load(); }

 protected:
  std::atomic<std::int64_t> FPosition{0};
  std::atomic<std::int64_t> FSize{0};
  std::atomic<bool> FBusy{false};
  // 1-based read index and fill level of the concrete input's block buffer.
  int FBufStart = 1;
  int FBufEnd = 0;
};

// An input that reads from a byte stream, which may be supplied from outside.
class TACSStreamedInput : public TACSInput {
 public:
  explicit TACSStreamedInput(TComponent* owner);

 protected:
  TStream* FStream = nullptr;
  bool FStreamAssigned = false;
};

// An input that reads a named file, optionally from StartSample to EndSample, optionally looping.
class TACSFileIn : public TACSStreamedInput {
 public:
  explicit TACSFileIn(TComponent* owner);

  int GetBitsPerSample() override;
  int GetChannels() override;
  int GetSampleRate() override;
  int GetTotalTime() override;
  void Reset() override;
  void Init() override;
  void Flush() override;

  // Opens the source. Calls nest: only the first really opens, only the matching last
  // CloseFile really closes.
  virtual void OpenFile() = 0;
  virtual void CloseFile() = 0;
  // Records a seek to `sampleNumber` that the next GetData carries out.
  virtual void Seek(std::int64_t sampleNumber) = 0;

  std::string FileName;
  std::int64_t StartSample = 0;
  std::int64_t EndSample = -1;  // -1: to the end
  bool Loop = false;

  std::int64_t TotalSamples() const { return FTotalSamples; }
  int OpenCount() const { return FOpenCount; }

 protected:
  int FBPS = 0;
  int FSR = 0;
  int FChan = 0;
  std::int64_t FTotalSamples = 0;
  int FOpenCount = 0;
  std::int64_t FSeekTarget = 0;
};

// A filter: an input that itself has an input. No concrete filter exists in this program; the
// class completes the input side of the framework.
class TACSConverter : public TACSInput {
 public:
  explicit TACSConverter(TComponent* owner);

  TACSInput* Input() const { return FInput; }
  // As the output's SetInput, with the filter's own lock; a filter cannot be its own input.
  virtual void SetInput(TACSInput* newInput);
  // Releases the input lock down the chain of filters after an error. Locks here are scoped,
  // so an error never leaves one held; the walk remains for filters that hold more.
  void UnlockInput();

 protected:
  void Notification(TComponent* component, TOperation operation) override;

  TACSInput* FInput = nullptr;
  std::mutex FInputLock;
};

class TACSOutput;

// The worker of one output. It waits while suspended and otherwise runs the output's loop.
class TACSThread {
 public:
  explicit TACSThread(TACSOutput& owner);
  ~TACSThread();  // ends and joins the thread

  bool SuspendWhenIdle = true;
  std::atomic<bool> AbortRequested{false};

  void Suspend();
  void Resume();
  bool Suspended() const;
  // Makes the loop end at its next check and waits until it has; drops a pending hand-off.
  void Terminate();
  // Runs `handler` on the main thread and waits; false when the output is being destroyed.
  bool HandOff(const std::function<void()>& handler) { return channel_.RunAndWait(handler); }
  bool Terminating() const { return terminating_.load(); }

 private:
  void Execute();
  void RunOneIteration(bool abort);
  void SuspendIfIdle();

  TACSOutput& owner_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool suspended_ = true;  // created suspended
  std::atomic<bool> terminating_{false};
  platform::HandOffChannel channel_;
  std::thread thread_;
};

// An abstract PCM consumer with its own worker.
//
// A concrete output must call TerminateWorker() first thing in its destructor, so that the
// worker never calls into a half-destroyed object.
class TACSOutput : public TComponent {
 public:
  explicit TACSOutput(TComponent* owner);
  ~TACSOutput() override;

  TACSInput* Input() const;
  virtual void SetInput(TACSInput* newInput);
  bool SuspendWhenIdle() const { return FThread->SuspendWhenIdle; }
  void SetSuspendWhenIdle(bool value) { FThread->SuspendWhenIdle = value; }

  TOutputDoneEvent OnDone;
  TOutputProgressEvent OnProgress;
  TThreadExceptionEvent OnThreadException;

  // Starts a run. Raises "Component is Busy" or "Input is not assigned"; errors of Prepare go
  // to HandleThreadException instead of the caller.
  void Run();
  // Asks the worker to end the run at its next block, through Done and OnDone.
  void Stop();
  void Pause();
  void Resume();
  TOutputStatus Status() const;
  // Percent of the input delivered: 0 without input or with Size 0, -1 with Size -1.
  int Progress() const;
  // Ends a busy run: clears Active, calls Done, clears Busy.
  void WhenDone();
  bool Busy() const { return FBusy.load(); }
  bool Active() const { return FActive.load(); }

 protected:
  // Processes one block; true = call again, false = the run is finished.
  virtual bool DoOutput(bool abort) = 0;
  // Finishes the output after the last block.
  virtual void Done() = 0;
  // Sets the output up before the first block; calls the input's Init.
  virtual void Prepare() = 0;

  void Notification(TComponent* component, TOperation operation) override;
  // Stops the worker for good; a run still busy is finished through WhenDone on this thread.
  void TerminateWorker();
  void HandleThreadException(const std::exception& e);

  std::atomic<bool> FActive{false};
  std::atomic<bool> FBusy{false};
  int LastProgress = -2;  // no value yet: the first computed percent is always reported
  TACSInput* FInput = nullptr;
  // Guards the Input reference while a block is pulled and while the input is swapped.
  mutable std::mutex InputLock;
  std::unique_ptr<TACSThread> FThread;

 private:
  friend class TACSThread;
};

// An output that writes a byte stream it creates itself, or one supplied from outside.
class TACSStreamedOutput : public TACSOutput {
 public:
  explicit TACSStreamedOutput(TComponent* owner);
  // Supplies a stream from outside (not owned); null returns to files the output creates.
  void SetStream(TStream* stream);

 protected:
  TStream* Stream = nullptr;
  bool StreamAssigned = false;
};

// An output that writes a named file.
class TACSFileOut : public TACSStreamedOutput {
 public:
  explicit TACSFileOut(TComponent* owner);

  std::string FileName;
  TFileOutputMode FileMode() const { return FFileMode; }
  // Stores foRewrite whatever is given; an output that can append overrides this.
  virtual void SetFileMode(TFileOutputMode mode);

 protected:
  TFileOutputMode FFileMode = foRewrite;
};

}  // namespace engine
