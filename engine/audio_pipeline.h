// The audio pipeline. An input produces raw PCM on request, block by block; an output owns a
// worker thread that pulls blocks from its input and consumes them, and reports the end of a
// run, its progress and any error through handlers.
//
// Threads: the main thread creates and destroys components and calls Run, Stop, Pause, Resume
// and SetInput. The output's worker does the rest of a run: Prepare (hence the input's Init,
// which opens its file), DoOutput (hence the input's GetData), WhenDone (hence Done and the
// input's Flush), so no file is opened or written on the main thread. onProgress and onDone run
// on the main thread through the main-thread dispatcher while the worker waits; onError runs on
// the worker.
//
// Ownership: components are owned by their owner (see Component). An output does not own its
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
#include "platform/dispatcher.h"
#include "platform/exception.h"

namespace engine {

// Every error the pipeline raises itself.
class PipelineError : public platform::Exception {
 public:
  using platform::Exception::Exception;
};

enum class FileOutputMode { Rewrite = 0, Append = 1 };
enum class OutputStatus { Busy = 0, Paused = 1, Idle = 2 };

using DoneHandler = std::function<void(Component* sender)>;
using ProgressHandler = std::function<void(Component* sender)>;
using ErrorHandler = std::function<void(Component* sender, const std::exception& e)>;

// An abstract PCM source.
class AudioInput : public Component {
 public:
  explicit AudioInput(Component* owner);

  virtual int GetBitsPerSample() = 0;
  virtual int GetChannels() = 0;
  virtual int GetSampleRate() = 0;
  // Whether GetData delivers 32-bit float samples (full scale ±1.0) instead of 16-bit integers.
  virtual bool FloatSamples() const { return false; }
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
  std::int64_t Position() const { return position_.load(std::memory_order_relaxed); }
  // Bytes this input will deliver in the run, or -1 when the length cannot be known.
  std::int64_t Size() const { return size_.load(std::memory_order_relaxed); }
  bool Busy() const { return busy_.load(); }

 protected:
  std::atomic<std::int64_t> position_{0};
  std::atomic<std::int64_t> size_{0};
  std::atomic<bool> busy_{false};
  // 1-based read index and fill level of the concrete input's block buffer.
  int bufferStart_ = 1;
  int bufferEnd_ = 0;
};

// An input that reads a named file, optionally from startSample to endSample, optionally looping.
class FileInput : public AudioInput {
 public:
  explicit FileInput(Component* owner);

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

  std::string fileName;
  std::int64_t startSample = 0;
  std::int64_t endSample = -1;  // -1: to the end
  bool loop = false;

  std::int64_t TotalSamples() const { return totalSamples_; }
  int OpenCount() const { return openCount_; }

 protected:
  int bitsPerSample_ = 0;
  int sampleRate_ = 0;
  int channels_ = 0;
  std::int64_t totalSamples_ = 0;
  int openCount_ = 0;
  std::int64_t seekTarget_ = 0;
};

class AudioOutput;

// The worker of one output. It waits while suspended and otherwise runs the output's loop.
class OutputWorker {
 public:
  explicit OutputWorker(AudioOutput& owner);
  ~OutputWorker();  // ends and joins the thread

  bool suspendWhenIdle = true;
  std::atomic<bool> abortRequested{false};

  void Suspend();
  void Resume();
  bool Suspended() const;
  // True while the thread waits between blocks (suspended, or idle without a run).
  bool Waiting() const;
  // Makes the loop end at its next check and waits until it has; drops a pending hand-off.
  void Terminate();
  // Runs `handler` on the main thread and waits; false when the output is being destroyed.
  bool HandOff(const std::function<void()>& handler) { return channel_.RunAndWait(handler); }
  bool Terminating() const { return terminating_.load(); }

 private:
  void Execute();
  void RunOneIteration(bool abort);
  void SuspendIfIdle();

  AudioOutput& owner_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool suspended_ = true;  // created suspended
  bool waiting_ = false;
  std::atomic<bool> terminating_{false};
  platform::HandOffChannel channel_;
  std::thread thread_;
};

// An abstract PCM consumer with its own worker.
//
// A concrete output must call TerminateWorker() first thing in its destructor, so that the
// worker never calls into a half-destroyed object.
class AudioOutput : public Component {
 public:
  explicit AudioOutput(Component* owner);
  ~AudioOutput() override;

  AudioInput* Input() const;
  // Replaces the input; during a run the new one is started and the old one flushed.
  void SetInput(AudioInput* newInput);
  bool SuspendWhenIdle() const { return worker_->suspendWhenIdle; }
  void SetSuspendWhenIdle(bool value) { worker_->suspendWhenIdle = value; }

  DoneHandler onDone;
  ProgressHandler onProgress;
  ErrorHandler onError;

  // Starts a run on the worker: Prepare, then block after block. Raises "Component is Busy" or
  // "Input is not assigned"; everything else that goes wrong, Prepare included, reaches onError
  // from the worker.
  void Run();
  // Asks the worker to end the run at its next block, through Done and onDone.
  void Stop();
  void Pause();
  void Resume();
  OutputStatus Status() const;
  // True once a paused run's worker holds still between blocks: what the run has delivered
  // stays as it is until Resume. (Status says Paused as soon as Pause is asked for; the block
  // in hand is still finished.)
  bool Holding() const;
  // Percent of the input delivered: 0 without input or with Size 0, -1 with Size -1.
  int Progress() const;
  // Ends a busy run: clears Active, calls Done, clears Busy.
  void WhenDone();
  bool Busy() const { return busy_.load(); }
  bool Active() const { return active_.load(); }

 protected:
  // Processes one block; true = call again, false = the run is finished.
  virtual bool DoOutput(bool abort) = 0;
  // Finishes the output after the last block.
  virtual void Done() = 0;
  // Sets the output up before the first block, on the worker; calls the input's Init.
  virtual void Prepare() = 0;

  void Notification(Component* component, ComponentOperation operation) override;
  // Stops the worker for good; a run still busy is finished through WhenDone on this thread.
  void TerminateWorker();
  void HandleThreadException(const std::exception& e);

  std::atomic<bool> active_{false};
  std::atomic<bool> busy_{false};
  // Set by Run, taken by the worker: the run still needs its Prepare. Run writes it before it
  // resumes the worker, under the worker's lock, so the worker sees it.
  bool preparePending_ = false;
  int lastProgress_ = -2;  // no value yet: the first computed percent is always reported
  AudioInput* input_ = nullptr;
  // Guards the input reference while a block is pulled and while the input is swapped.
  mutable std::mutex inputLock_;
  std::unique_ptr<OutputWorker> worker_;

 private:
  friend class OutputWorker;
};

// An output that writes a named file.
class FileOutput : public AudioOutput {
 public:
  explicit FileOutput(Component* owner);

  std::string fileName;
  FileOutputMode FileMode() const { return fileMode_; }
  // Stores FileOutputMode::Rewrite whatever is given; an output that can append overrides this.
  virtual void SetFileMode(FileOutputMode mode);

 protected:
  FileOutputMode fileMode_ = FileOutputMode::Rewrite;
};

}  // namespace engine
