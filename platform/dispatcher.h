// The one way from a worker thread to the thread that owns the state a worker reports to (the
// user-interface thread of the desktop program, the main thread of tavisto-convert): the worker
// posts a task, and the owning thread runs it at its loop's next turn. Nobody waits for a posted
// task, so a worker never blocks on the user interface.
//
// The desktop program implements Dispatcher with Qt's event loop (app/qt_dispatcher.h);
// tavisto-convert and the tests use EventLoop, a plain loop over a queue.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

class Dispatcher {
 public:
  virtual ~Dispatcher() = default;
  // Queues `task` to run on the owning thread soon. Callable from any thread.
  virtual void Post(std::function<void()> task) = 0;
};

// A dispatcher whose owning thread is the one that created it, running posted tasks in a loop of
// its own.
class EventLoop final : public Dispatcher {
 public:
  void Post(std::function<void()> task) override;

  // Runs the tasks queued so far; returns how many ran. Owning thread only.
  int ProcessPending();
  // Runs queued tasks as they arrive until `done` holds, checking it after each task (and once
  // first). Owning thread only.
  void RunUntil(const std::function<bool()>& done);
  // The same, giving up at `deadline`; false when it gave up.
  bool RunUntil(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline);
  // The same, giving up after `timeout`.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::function<void()>> queue_;
};

}  // namespace platform
