#include "engine/audio_pipeline.h"

#include <cmath>

namespace engine {

namespace {

// Delphi-style Round: to the nearest integer, ties to even (the default rounding mode).
std::int64_t RoundToEven(double value) { return static_cast<std::int64_t>(std::nearbyint(value)); }

}  // namespace

// ---- AudioInput ----

AudioInput::AudioInput(Component* owner) : Component(owner) {}

int AudioInput::GetTotalTime() { return 0; }

void AudioInput::Reset() {
  try {
    Flush();
  } catch (const std::exception&) {
    // Reset is a way back to a known state; a failing flush must not prevent it.
  }
  busy_ = false;
}

// ---- FileInput ----

FileInput::FileInput(Component* owner) : AudioInput(owner) {}

int FileInput::GetBitsPerSample() {
  OpenFile();
  const int value = bitsPerSample_;
  CloseFile();
  return value;
}

int FileInput::GetChannels() {
  OpenFile();
  const int value = channels_;
  CloseFile();
  return value;
}

int FileInput::GetSampleRate() {
  OpenFile();
  const int value = sampleRate_;
  CloseFile();
  return value;
}

int FileInput::GetTotalTime() {
  OpenFile();
  const std::int64_t bytesPerSecond = static_cast<std::int64_t>(sampleRate_) * channels_ * (bitsPerSample_ / 8);
  const std::int64_t size = Size();
  // Every open is matched by a close, also when the format is unknown, or the source would
  // stay open for good.
  CloseFile();
  if (bytesPerSecond == 0) return 0;
  return static_cast<int>(RoundToEven(static_cast<double>(size) / static_cast<double>(bytesPerSecond)));
}

void FileInput::Reset() {
  AudioInput::Reset();
  openCount_ = 0;
}

void FileInput::Init() {
  if (busy_) throw PipelineError("The component is Busy");
  if (fileName.empty()) throw PipelineError("The file name is not assigned");
  OpenFile();
  if (startSample != 0) Seek(startSample);
  if (startSample != 0 || endSample != -1) {
    const std::int64_t samples = endSample == -1 ? totalSamples_ - startSample : endSample - startSample;
    size_ = samples * (GetBitsPerSample() / 8) * GetChannels();
  }
  busy_ = true;
  bufferStart_ = 1;
  bufferEnd_ = 0;
  position_ = 0;
}

void FileInput::Flush() {
  CloseFile();
  busy_ = false;
}

// ---- OutputWorker ----

OutputWorker::OutputWorker(AudioOutput& owner) : owner_(owner), thread_([this] { Execute(); }) {}

OutputWorker::~OutputWorker() { Terminate(); }

void OutputWorker::Suspend() {
  std::lock_guard lock(mutex_);
  suspended_ = true;
}

void OutputWorker::Resume() {
  {
    std::lock_guard lock(mutex_);
    suspended_ = false;
  }
  wake_.notify_all();
}

bool OutputWorker::Suspended() const {
  std::lock_guard lock(mutex_);
  return suspended_;
}

bool OutputWorker::Waiting() const {
  std::lock_guard lock(mutex_);
  return waiting_;
}

void OutputWorker::Terminate() {
  {
    std::lock_guard lock(mutex_);
    terminating_ = true;
  }
  wake_.notify_all();
  channel_.Close();
  if (thread_.joinable()) thread_.join();
}

void OutputWorker::Execute() {
  for (;;) {
    bool abort;
    {
      std::unique_lock lock(mutex_);
      // An idle worker has nothing to do until a run makes its output active, so it waits
      // instead of spinning. The stop request is taken under the same lock, so a Stop that
      // follows a Pause waits for the Resume.
      waiting_ = true;
      wake_.wait(lock, [this] { return terminating_.load() || (!suspended_ && owner_.active_.load()); });
      waiting_ = false;
      if (terminating_) break;
      abort = abortRequested;
    }
    RunOneIteration(abort);
  }
}

void OutputWorker::SuspendIfIdle() {
  if (!suspendWhenIdle) return;
  std::lock_guard lock(mutex_);
  // A handler may already have started the next run (Run sets Busy before it resumes us).
  if (!owner_.busy_) suspended_ = true;
}

void OutputWorker::RunOneIteration(bool abort) {
  AudioOutput& out = owner_;
  const auto handle = [&](const std::exception& e) {
    abortRequested = false;
    try {
      out.HandleThreadException(e);
    } catch (...) {
      // An error handler that fails must not take the worker down with it.
    }
    SuspendIfIdle();
  };
  try {
    // A new run is prepared here, off the caller's thread: opening the input and the output
    // file may take a while. A run stopped before it got here ends without being prepared.
    if (out.preparePending_) {
      out.preparePending_ = false;
      if (!abort) out.Prepare();
    }
    const int progress = out.Progress();
    if (progress != out.lastProgress_) {
      out.lastProgress_ = progress;
      if (out.onProgress) HandOff([&] { out.onProgress(&out); });
    }
    if (terminating_) return;
    const bool more = out.DoOutput(abort);
    if (abort || !more) {
      abortRequested = false;
      out.WhenDone();
      if (out.onDone) HandOff([&] { out.onDone(&out); });
      SuspendIfIdle();
    }
  } catch (const std::exception& e) {
    handle(e);
  } catch (...) {
    handle(PipelineError("An unknown error stopped the audio pipeline."));
  }
}

// ---- AudioOutput ----

AudioOutput::AudioOutput(Component* owner) : Component(owner), worker_(std::make_unique<OutputWorker>(*this)) {}

AudioOutput::~AudioOutput() {
  // Normally the concrete output has stopped the worker already; this only catches an output
  // that did not, and cannot finish a run any more (its Done is gone).
  if (worker_) worker_->Terminate();
}

void AudioOutput::TerminateWorker() {
  if (!worker_ || worker_->Terminating()) return;
  worker_->Terminate();
  // A run that is still going is finished here, so that what was written is complete.
  if (busy_) {
    try {
      WhenDone();
    } catch (const std::exception&) {
      // The output is going away; there is nobody left to tell.
    }
  }
}

AudioInput* AudioOutput::Input() const {
  std::lock_guard lock(inputLock_);
  return input_;
}

void AudioOutput::SetInput(AudioInput* newInput) {
  if (!busy_) {
    AudioInput* old;
    {
      std::lock_guard lock(inputLock_);
      old = input_;
      input_ = newInput;
    }
    if (old != nullptr && old != newInput) RemoveFreeNotification(old);
    if (newInput != nullptr) FreeNotification(newInput);
    return;
  }
  newInput->Init();
  AudioInput* old;
  {
    std::lock_guard lock(inputLock_);
    old = input_;
    input_ = newInput;
  }
  if (old != nullptr) RemoveFreeNotification(old);
  FreeNotification(newInput);
  if (old != nullptr) old->Flush();
}

void AudioOutput::Notification(Component* component, ComponentOperation operation) {
  Component::Notification(component, operation);
  if (operation == ComponentOperation::Remove && component == input_) {
    std::lock_guard lock(inputLock_);
    input_ = nullptr;
  }
}

void AudioOutput::Run() {
  if (busy_) throw PipelineError("Component is Busy");
  if (Input() == nullptr) throw PipelineError("Input is not assigned");
  preparePending_ = true;
  busy_ = true;
  worker_->abortRequested = false;
  active_ = true;
  worker_->Resume();
}

void AudioOutput::Stop() { worker_->abortRequested = true; }

void AudioOutput::Pause() {
  if (!worker_->Suspended()) worker_->Suspend();
}

void AudioOutput::Resume() {
  if (worker_->Suspended()) worker_->Resume();
}

OutputStatus AudioOutput::Status() const {
  if (!busy_) return OutputStatus::Idle;
  return worker_->Suspended() ? OutputStatus::Paused : OutputStatus::Busy;
}

bool AudioOutput::Holding() const { return busy_.load() && worker_->Suspended() && worker_->Waiting(); }

int AudioOutput::Progress() const {
  std::lock_guard lock(inputLock_);
  if (input_ == nullptr) return 0;
  const std::int64_t size = input_->Size();
  if (size == -1) return -1;
  if (size == 0) return 0;
  return static_cast<int>(RoundToEven(static_cast<double>(input_->Position()) / static_cast<double>(size) * 100.0));
}

void AudioOutput::WhenDone() {
  if (!busy_) return;
  active_ = false;
  Done();
  busy_ = false;
}

void AudioOutput::HandleThreadException(const std::exception& e) {
  // The input lock is scoped wherever it is taken, so an error cannot leave it held.
  if (Status() != OutputStatus::Idle) {
    try {
      Done();
    } catch (...) {
      // The first error is the one the user needs to see.
    }
  }
  active_ = false;
  busy_ = false;
  if (onError) onError(this, e);
}

// ---- FileOutput ----

FileOutput::FileOutput(Component* owner) : AudioOutput(owner) {}

void FileOutput::SetFileMode(FileOutputMode /*mode*/) { fileMode_ = FileOutputMode::Rewrite; }

}  // namespace engine
