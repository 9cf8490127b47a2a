// Test components: inputs that produce known PCM and an output that records what it pulls.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/audio_pipeline.h"
#include "platform/dispatcher.h"

namespace enginetest {

using namespace engine;

// 16-bit PCM: a sine of `frequency` Hz, or (with `counting`) bytes 0, 1, 2, ... so that a lost
// or repeated byte shows. Can fail in GetData after a number of calls.
class ToneInput : public AudioInput {
 public:
  ToneInput(Component* owner, int sampleRate, int channels, std::int64_t frames, double frequency = 1000.0)
      : AudioInput(owner), rate_(sampleRate), channels_(channels), frames_(frames), frequency_(frequency) {}

  bool counting = false;
  bool unknownSize = false;
  int failAfterCalls = -1;     // raise on this GetData call (0-based); -1 never
  int maxBytesPerCall = 1 << 30;
  std::atomic<int> initCount{0}, flushCount{0}, getDataCalls{0};

  int GetBitsPerSample() override { return 16; }
  int GetChannels() override { return channels_; }
  int GetSampleRate() override { return rate_; }
  void Init() override {
    ++initCount;
    size_ = unknownSize ? -1 : frames_ * channels_ * 2;
    position_ = 0;
    busy_ = true;
    produced_ = 0;
  }
  void Flush() override {
    ++flushCount;
    busy_ = false;
  }
  int GetData(void* buffer, int bufferSize) override {
    const int call = getDataCalls++;
    if (call == failAfterCalls) throw platform::Exception("decoder broke at call " + std::to_string(call));
    const std::int64_t total = frames_ * channels_ * 2;
    const std::int64_t count = std::min<std::int64_t>({bufferSize, maxBytesPerCall, total - produced_});
    auto* out = static_cast<std::uint8_t*>(buffer);
    for (std::int64_t i = 0; i < count; ++i) out[i] = ByteAt(produced_ + i);
    produced_ += count;
    position_ += count;
    return static_cast<int>(count);
  }

  std::uint8_t ByteAt(std::int64_t offset) const {
    if (counting) return static_cast<std::uint8_t>(offset * 7 + offset / 251);
    const std::int64_t frame = offset / (2 * channels_);
    const auto value = static_cast<std::int16_t>(
        std::lround(16000.0 * std::sin(2.0 * M_PI * frequency_ * static_cast<double>(frame) / rate_)));
    const auto u = static_cast<std::uint16_t>(value);
    return offset % 2 == 0 ? static_cast<std::uint8_t>(u & 0xFF) : static_cast<std::uint8_t>(u >> 8);
  }

 private:
  int rate_, channels_;
  std::int64_t frames_;
  double frequency_;
  std::int64_t produced_ = 0;
};

// Records every byte it pulls, in 4096-byte requests; can slow down per block.
class RecordingOutput : public AudioOutput {
 public:
  explicit RecordingOutput(Component* owner) : AudioOutput(owner) {}
  ~RecordingOutput() override {
    Unlimit();  // a worker waiting for its budget could never end
    TerminateWorker();
  }

  std::atomic<int> doneCount{0}, prepareCount{0}, abortCalls{0};
  std::mutex mutex;
  std::vector<std::uint8_t> recorded;

  std::size_t RecordedSize() {
    std::lock_guard lock(mutex);
    return recorded.size();
  }

  // Lets the worker pull at most `blocks` blocks in all, then makes it wait until the limit is
  // raised (another LimitBlocks, or Unlimit): a test can stop a run half way without timing it.
  void LimitBlocks(int blocks) {
    {
      std::lock_guard lock(mutex);
      blockLimit_ = blocks;
    }
    budget_.notify_all();
  }
  void Unlimit() { LimitBlocks(-1); }

 protected:
  void Prepare() override {
    ++prepareCount;
    Input()->Init();
  }
  bool DoOutput(bool abort) override {
    if (!Active()) return true;
    if (abort) {
      ++abortCalls;
      return false;
    }
    {
      // Waits outside the input lock, so the input can be swapped meanwhile.
      std::unique_lock lock(mutex);
      budget_.wait(lock, [this] { return blockLimit_ < 0 || blocksPulled_ < blockLimit_; });
      ++blocksPulled_;
    }
    std::uint8_t block[4096];
    int n;
    {
      std::lock_guard lock(inputLock_);
      n = input_->GetData(block, sizeof block);
    }
    if (n == 0) return false;
    {
      std::lock_guard lock(mutex);
      recorded.insert(recorded.end(), block, block + n);
    }
    return true;
  }
  void Done() override {
    ++doneCount;
    if (AudioInput* input = Input()) input->Flush();
  }

 private:
  std::condition_variable budget_;
  int blockLimit_ = -1;  // -1: no limit
  int blocksPulled_ = 0;
};

// The errors an output reports on its worker, read by the test on its main thread.
class ErrorLog {
 public:
  void Add(const std::string& text) {
    std::lock_guard lock(mutex_);
    texts_.push_back(text);
  }
  std::vector<std::string> Texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
  }
  std::size_t Count() const { return Texts().size(); }
  bool Empty() const { return Count() == 0; }
  std::string At(std::size_t index) const {
    const auto texts = Texts();
    return index < texts.size() ? texts[index] : std::string();
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    texts_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> texts_;
};

// The message of the error `action` raises, or "" when it raises none.
inline std::string ErrorMessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

// Installs a PlainDispatcher on the test's thread for the test's lifetime.
struct MainThread {
  platform::PlainDispatcher dispatcher;
  platform::MainThreadDispatcher* previous = platform::SetMainDispatcher(&dispatcher);
  ~MainThread() { platform::SetMainDispatcher(previous); }
  // Serves hand-offs until `done` holds; false after 20 s.
  bool RunUntil(const std::function<bool()>& done) {
    return dispatcher.RunUntil(done, std::chrono::seconds(20));
  }
};

}  // namespace enginetest
