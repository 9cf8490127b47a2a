#include "platform/signal_watcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace platform {

SignalWatcher::SignalWatcher(std::initializer_list<int> watched, std::function<void(int)> handler)
    : handler_(std::move(handler)) {
  sigemptyset(&signals_);
  for (int signo : watched) sigaddset(&signals_, signo);
  pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
  signalFd_ = ::signalfd(-1, &signals_, SFD_CLOEXEC);
  stopFd_ = ::eventfd(0, EFD_CLOEXEC);
  if (signalFd_ >= 0 && stopFd_ >= 0) thread_ = std::thread([this] { Watch(); });
}

SignalWatcher::~SignalWatcher() {
  if (thread_.joinable()) {
    const std::uint64_t one = 1;
    (void)::write(stopFd_, &one, sizeof one);
    thread_.join();
  }
  if (signalFd_ >= 0) ::close(signalFd_);
  if (stopFd_ >= 0) ::close(stopFd_);
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void SignalWatcher::Watch() {
  for (;;) {
    pollfd fds[2] = {{signalFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    signalfd_siginfo info{};
    if (::read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
      handler_(static_cast<int>(info.ssi_signo));
    }
  }
}

}  // namespace platform
