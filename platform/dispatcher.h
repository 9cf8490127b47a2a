// Worker-to-main-thread hand-off. The engine never touches the user interface itself: it asks
// the dispatcher to run a handler on the main thread and waits until the handler returns. The
// program implements the dispatcher with its toolkit's event loop; tests and command-line tools
// use PlainDispatcher, whose main thread drains a queue.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

class MainThreadDispatcher {
 public:
  virtual ~MainThreadDispatcher() = default;
  // Queues `task` to run on the main thread soon. Callable from any thread.
  virtual void Post(std::function<void()> task) = 0;
  // True on the thread that runs posted tasks.
  virtual bool IsMainThread() const = 0;
};

// The dispatcher the engine uses. Until one is installed, handlers run on the calling thread.
MainThreadDispatcher& MainDispatcher();
// Installs `dispatcher` (not owned; null restores the default). Returns the previous one.
MainThreadDispatcher* SetMainDispatcher(MainThreadDispatcher* dispatcher);

// A dispatcher driven by a plain loop on the thread that created it.
class PlainDispatcher final : public MainThreadDispatcher {
 public:
  PlainDispatcher();
  void Post(std::function<void()> task) override;
  bool IsMainThread() const override;

  // Runs the tasks queued so far; returns how many ran. Main thread only.
  int ProcessPending();
  // Runs queued tasks as they arrive until `done` holds, checking it after each task.
  // Main thread only.
  void RunUntil(const std::function<bool()>& done);
  // Like RunUntil, but gives up after `timeout`; false when it gave up.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // Waits, without running anything, until a task is queued; false when none came within
  // `timeout`. Main thread only.
  bool WaitForTask(std::chrono::milliseconds timeout);

 private:
  std::thread::id main_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::function<void()>> queue_;
};

// One hand-off at a time from a worker to the main thread, which the hand-off's owner can
// cancel. An owner that is destroyed on the main thread while its worker waits for a hand-off
// cancels it, so neither side waits for the other forever.
class HandOffChannel {
 public:
  // Runs `handler` on the main thread and blocks until it has returned. Returns false, without
  // running it, when the channel was closed before the main thread got to it. On the main
  // thread itself the handler runs at once.
  bool RunAndWait(const std::function<void()>& handler);
  // Main thread: closes the channel. A hand-off that has not started is dropped and its waiter
  // released; later hand-offs return false at once.
  void Close();
  // Reopens a closed channel.
  void Open();

 private:
  struct Pending;
  std::mutex mutex_;
  bool closed_ = false;
  std::shared_ptr<Pending> current_;
};

}  // namespace platform
