// The signals that ask a program to stop (SIGINT, SIGTERM, SIGHUP) and a closed pipe (SIGPIPE),
// turned into calls of a handler on a thread of the watcher's own, instead of handlers that run
// in the middle of whatever a thread was doing: the handler may lock, post to a dispatcher and
// allocate like any other code.
//
// Make the watcher first thing in main(), before any other thread starts: the signals are blocked
// in the calling thread, and so in every thread created after it, and only the watcher takes
// them. Destroying it stops its thread and unblocks them again.
#pragma once

#include <functional>
#include <initializer_list>
#include <thread>

#include <signal.h>

namespace platform {

class SignalWatcher {
 public:
  // `handler(signo)` is called on the watcher's thread for each signal of `watched` that arrives.
  SignalWatcher(std::initializer_list<int> watched, std::function<void(int signo)> handler);
  ~SignalWatcher();
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

 private:
  void Watch();

  sigset_t signals_{};
  sigset_t previous_{};
  std::function<void(int)> handler_;
  int signalFd_ = -1;
  int stopFd_ = -1;
  std::thread thread_;
};

}  // namespace platform
