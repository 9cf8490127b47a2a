#include "engine/ACS_Classes.h"

#include <cmath>

namespace engine {

namespace {

// Delphi-style Round: to the nearest integer, ties to even (the default rounding mode).
std::int64_t RoundToEven(double value) { return static_cast<std::int64_t>(std::nearbyint(value)); }

}  // namespace

// ---- TACSInput ----

TACSInput::TACSInput(TComponent* owner) : TComponent(owner) {}

int TACSInput::GetTotalTime() { return 0; }

void TACSInput::Reset() {
  try {
    Flush();
  } catch (const std::exception&) {
    // Reset is a way back to a known state; a failing flush must not prevent it.
  }
  FBusy = false;
}

TACSStreamedInput::TACSStreamedInput(TComponent* owner) : TACSInput(owner) {}

// ---- TACSFileIn ----

TACSFileIn::TACSFileIn(TComponent* owner) : TACSStreamedInput(owner) {}

int TACSFileIn::GetBitsPerSample() {
  OpenFile();
  const int value = FBPS;
  CloseFile();
  return value;
}

int TACSFileIn::GetChannels() {
  OpenFile();
  const int value = FChan;
  CloseFile();
  return value;
}

int TACSFileIn::GetSampleRate() {
  OpenFile();
  const int value = FSR;
  CloseFile();
  return value;
}

int TACSFileIn::GetTotalTime() {
  OpenFile();
  const std::int64_t bytesPerSecond = static_cast<std::int64_t>(FSR) * FChan * (FBPS / 8);
  const std::int64_t size = Size();
  // Every open is matched by a close, also when the format is unknown, or the source would
  // stay open for good.
  CloseFile();
  if (bytesPerSecond == 0) return 0;
  return static_cast<int>(RoundToEven(static_cast<double>(size) / static_cast<double>(bytesPerSecond)));
}

void TACSFileIn::Reset() {
  TACSInput::Reset();
  FOpenCount = 0;
}

void TACSFileIn::Init() {
  if (FBusy) throw EACSException("The component is Busy");
  if (FileName.empty() && !FStreamAssigned) throw EACSException("The file name is not assigned");
  OpenFile();
  if (StartSample != 0) Seek(StartSample);
  if (StartSample != 0 || EndSample != -1) {
    const std::int64_t samples = EndSample == -1 ? FTotalSamples - StartSample : EndSample - StartSample;
    FSize = samples * (GetBitsPerSample() / 8) * GetChannels();
  }
  FBusy = true;
  FBufStart = 1;
  FBufEnd = 0;
  FPosition = 0;
}

void TACSFileIn::Flush() {
  CloseFile();
  FBusy = false;
}

// ---- TACSConverter ----

TACSConverter::TACSConverter(TComponent* owner) : TACSInput(owner) {}

void TACSConverter::SetInput(TACSInput* newInput) {
  if (newInput == this) return;
  if (!FBusy) {
    std::lock_guard lock(FInputLock);
    if (FInput != nullptr) RemoveFreeNotification(FInput);
    FInput = newInput;
    if (FInput != nullptr) FreeNotification(FInput);
    return;
  }
  newInput->Init();
  TACSInput* old;
  {
    std::lock_guard lock(FInputLock);
    old = FInput;
    FInput = newInput;
  }
  if (old != nullptr) RemoveFreeNotification(old);
  FreeNotification(newInput);
  if (old != nullptr) old->Flush();
}

void TACSConverter::UnlockInput() {
  if (auto* inner = dynamic_cast<TACSConverter*>(FInput)) inner->UnlockInput();
}

void TACSConverter::Notification(TComponent* component, TOperation operation) {
  TACSInput::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FInput) {
    std::lock_guard lock(FInputLock);
    FInput = nullptr;
  }
}

// ---- TACSThread ----

TACSThread::TACSThread(TACSOutput& owner) : owner_(owner), thread_([this] { Execute(); }) {}

TACSThread::~TACSThread() { Terminate(); }

void TACSThread::Suspend() {
  std::lock_guard lock(mutex_);
  suspended_ = true;
}

void TACSThread::Resume() {
  {
    std::lock_guard lock(mutex_);
    suspended_ = false;
  }
  wake_.notify_all();
}

bool TACSThread::Suspended() const {
  std::lock_guard lock(mutex_);
  return suspended_;
}

void TACSThread::Terminate() {
  {
    std::lock_guard lock(mutex_);
    terminating_ = true;
  }
  wake_.notify_all();
  channel_.Close();
  if (thread_.joinable()) thread_.join();
}

void TACSThread::Execute() {
  for (;;) {
    bool abort;
    {
      std::unique_lock lock(mutex_);
      // An idle worker has nothing to do until a run makes its output active, so it waits
      // instead of spinning. The stop request is taken under the same lock, so a Stop that
      // follows a Pause waits for the Resume.
      wake_.wait(lock, [this] { return terminating_.load() || (!suspended_ && owner_.FActive.load()); });
      if (terminating_) break;
      abort = AbortRequested;
    }
    RunOneIteration(abort);
  }
}

void TACSThread::SuspendIfIdle() {
  if (!SuspendWhenIdle) return;
  std::lock_guard lock(mutex_);
  // A handler may already have started the next run (Run sets Busy before it resumes us).
  if (!owner_.FBusy) suspended_ = true;
}

void TACSThread::RunOneIteration(bool abort) {
  TACSOutput& out = owner_;
  const auto handle = [&](const std::exception& e) {
    AbortRequested = false;
    try {
      out.HandleThreadException(e);
    } catch (...) {
      // An error handler that fails must not take the worker down with it.
    }
    SuspendIfIdle();
  };
  try {
    const int progress = out.Progress();
    if (progress != out.LastProgress) {
      out.LastProgress = progress;
      if (out.OnProgress) HandOff([&] { out.OnProgress(&out); });
    }
    if (terminating_) return;
    const bool more = out.DoOutput(abort);
    if (abort || !more) {
      AbortRequested = false;
      out.WhenDone();
      if (out.OnDone) HandOff([&] { out.OnDone(&out); });
      SuspendIfIdle();
    }
  } catch (const std::exception& e) {
    handle(e);
  } catch (...) {
    handle(EACSException("An unknown error stopped the audio pipeline."));
  }
}

// ---- TACSOutput ----

TACSOutput::TACSOutput(TComponent* owner) : TComponent(owner), FThread(std::make_unique<TACSThread>(*this)) {}

TACSOutput::~TACSOutput() {
  // Normally the concrete output has stopped the worker already; this only catches an output
  // that did not, and cannot finish a run any more (its Done is gone).
  if (FThread) FThread->Terminate();
}

void TACSOutput::TerminateWorker() {
  if (!FThread || FThread->Terminating()) return;
  FThread->Terminate();
  // A run that is still going is finished here, so that what was written is complete.
  if (FBusy) {
    try {
      WhenDone();
    } catch (const std::exception&) {
      // The output is going away; there is nobody left to tell.
    }
  }
}

TACSInput* TACSOutput::Input() const {
  std::lock_guard lock(InputLock);
  return FInput;
}

void TACSOutput::SetInput(TACSInput* newInput) {
  if (!FBusy) {
    TACSInput* old;
    {
      std::lock_guard lock(InputLock);
      old = FInput;
      FInput = newInput;
    }
    if (old != nullptr && old != newInput) RemoveFreeNotification(old);
    if (newInput != nullptr) FreeNotification(newInput);
    return;
  }
  newInput->Init();
  TACSInput* old;
  {
    std::lock_guard lock(InputLock);
    old = FInput;
    FInput = newInput;
  }
  if (old != nullptr) RemoveFreeNotification(old);
  FreeNotification(newInput);
  if (old != nullptr) old->Flush();
}

void TACSOutput::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FInput) {
    std::lock_guard lock(InputLock);
    FInput = nullptr;
  }
}

void TACSOutput::Run() {
  if (FBusy) throw EACSException("Component is Busy");
  if (Input() == nullptr) throw EACSException("Input is not assigned");
  try {
    Prepare();
    FBusy = true;
    FThread->AbortRequested = false;
    FActive = true;
    FThread->Resume();
  } catch (const std::exception& e) {
    HandleThreadException(e);
  }
}

void TACSOutput::Stop() { FThread->AbortRequested = true; }

void TACSOutput::Pause() {
  if (!FThread->Suspended()) FThread->Suspend();
}

void TACSOutput::Resume() {
  if (FThread->Suspended()) FThread->Resume();
}

TOutputStatus TACSOutput::Status() const {
  if (!FBusy) return osIdle;
  return FThread->Suspended() ? osPaused : osBusy;
}

int TACSOutput::Progress() const {
  std::lock_guard lock(InputLock);
  if (FInput == nullptr) return 0;
  const std::int64_t size = FInput->Size();
  if (size == -1) return -1;
  if (size == 0) return 0;
  return static_cast<int>(RoundToEven(static_cast<double>(FInput->Position()) / static_cast<double>(size) * 100.0));
}

void TACSOutput::WhenDone() {
  if (!FBusy) return;
  FActive = false;
  Done();
  FBusy = false;
}

void TACSOutput::HandleThreadException(const std::exception& e) {
  // InputLock is scoped wherever it is taken, so an error cannot leave it held.
  if (Status() != osIdle) {
    if (auto* converter = dynamic_cast<TACSConverter*>(Input())) {
      try {
        converter->UnlockInput();
      } catch (...) {
      }
    }
    try {
      Done();
    } catch (...) {
      // The first error is the one the user needs to see.
    }
  }
  FActive = false;
  FBusy = false;
  if (OnThreadException) OnThreadException(this, e);
}

// ---- Streamed and file outputs ----

TACSStreamedOutput::TACSStreamedOutput(TComponent* owner) : TACSOutput(owner) {}

void TACSStreamedOutput::SetStream(TStream* stream) {
  Stream = stream;
  StreamAssigned = stream != nullptr;
}

TACSFileOut::TACSFileOut(TComponent* owner) : TACSStreamedOutput(owner) {}

void TACSFileOut::SetFileMode(TFileOutputMode /*mode*/) { FFileMode = foRewrite; }

}  // namespace engine
