#include "platform/dispatcher.h"

#include <atomic>

namespace platform {

namespace {

class InlineDispatcher final : public MainThreadDispatcher {
 public:
  void Post(std::function<void()> task) override { task(); }
  bool IsMainThread() const override { return true; }
};

InlineDispatcher inline_dispatcher;
std::atomic<MainThreadDispatcher*> installed{nullptr};

}  // namespace

MainThreadDispatcher& MainDispatcher() {
  MainThreadDispatcher* d = installed.load(std::memory_order_acquire);
  return d != nullptr ? *d : inline_dispatcher;
}

MainThreadDispatcher* SetMainDispatcher(MainThreadDispatcher* dispatcher) {
  return installed.exchange(dispatcher, std::memory_order_acq_rel);
}

PlainDispatcher::PlainDispatcher() : main_(std::this_thread::get_id()) {}

void PlainDispatcher::Post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(task));
  }
  arrived_.notify_all();
}

bool PlainDispatcher::IsMainThread() const { return std::this_thread::get_id() == main_; }

int PlainDispatcher::ProcessPending() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(queue_);
  }
  for (auto& task : batch) task();
  return static_cast<int>(batch.size());
}

void PlainDispatcher::RunUntil(const std::function<bool()>& done) {
  while (!done()) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      // The predicate may be set by another thread without posting; poll it now and then.
      arrived_.wait_for(lock, std::chrono::milliseconds(5), [&] { return !queue_.empty(); });
      if (queue_.empty()) continue;
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    task();
  }
}

bool PlainDispatcher::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool timedOut = false;
  RunUntil([&] {
    if (done()) return true;
    timedOut = std::chrono::steady_clock::now() >= deadline;
    return timedOut;
  });
  return !timedOut;
}

bool PlainDispatcher::WaitForTask(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, timeout, [&] { return !queue_.empty(); });
}

struct HandOffChannel::Pending {
  enum class State { Waiting, Running, Finished, Dropped };
  std::mutex mutex;
  std::condition_variable changed;
  State state = State::Waiting;
};

bool HandOffChannel::RunAndWait(const std::function<void()>& handler) {
  MainThreadDispatcher& dispatcher = MainDispatcher();
  if (dispatcher.IsMainThread()) {
    handler();
    return true;
  }
  auto pending = std::make_shared<Pending>();
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    current_ = pending;
  }
  // The worker blocks below until the handler has returned, so `handler` outlives the task.
  dispatcher.Post([pending, &handler] {
    {
      std::lock_guard lock(pending->mutex);
      if (pending->state == Pending::State::Dropped) return;
      pending->state = Pending::State::Running;
    }
    handler();
    {
      std::lock_guard lock(pending->mutex);
      pending->state = Pending::State::Finished;
    }
    pending->changed.notify_all();
  });
  bool ran;
  {
    std::unique_lock lock(pending->mutex);
    pending->changed.wait(lock, [&] {
      return pending->state == Pending::State::Finished || pending->state == Pending::State::Dropped;
    });
    ran = pending->state == Pending::State::Finished;
  }
  std::lock_guard lock(mutex_);
  if (current_ == pending) current_.reset();
  return ran;
}

void HandOffChannel::Close() {
  std::shared_ptr<Pending> pending;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    pending = current_;
  }
  if (!pending) return;
  {
    std::lock_guard lock(pending->mutex);
    // A handler that is already running finishes normally; its waiter sees Finished.
    if (pending->state == Pending::State::Waiting) pending->state = Pending::State::Dropped;
  }
  pending->changed.notify_all();
}

void HandOffChannel::Open() {
  std::lock_guard lock(mutex_);
  closed_ = false;
}

}  // namespace platform
