#include "platform/dispatcher.h"

namespace platform {

void EventLoop::Post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(task));
  }
  arrived_.notify_all();
}

int EventLoop::ProcessPending() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(queue_);
  }
  for (auto& task : batch) task();
  return static_cast<int>(batch.size());
}

void EventLoop::RunUntil(const std::function<bool()>& done) {
  RunUntil(done, std::chrono::steady_clock::time_point::max());
}

bool EventLoop::RunUntil(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline) {
  while (!done()) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      if (!arrived_.wait_until(lock, deadline, [this] { return !queue_.empty(); })) return false;
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    task();
  }
  return true;
}

bool EventLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  return RunUntil(done, std::chrono::steady_clock::now() + timeout);
}

}  // namespace platform
