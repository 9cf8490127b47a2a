// Inspecting an added file on a reading thread while the user-interface thread goes on: the
// windows keep repainting and answer (or refuse) the user, and the result comes back as a value,
// posted to the user-interface thread through the dispatcher.
//
// Thread: the user-interface thread; the reading thread only reads the file and posts.
// Ownership: the reader owns its reading thread; destroying it waits for a read in progress,
// whose result is then dropped.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "core/inspection.h"
#include "platform/dispatcher.h"

namespace app {

class SourceReader {
 public:
  using Done = std::function<void(const core::Inspection& inspection)>;
  // How the reading thread is started: `body` on a new thread. Tests put in a starter that throws
  // std::system_error, as std::thread does when the system has no thread left.
  using ThreadStarter = std::function<std::thread(std::function<void()> body)>;

  explicit SourceReader(platform::Dispatcher& dispatcher);
  ~SourceReader();
  SourceReader(const SourceReader&) = delete;
  SourceReader& operator=(const SourceReader&) = delete;

  // Starts reading `path`; `done` gets the inspection on the user-interface thread. False, and
  // nothing happens, while another read is in progress or when no thread can be started.
  bool Read(const std::string& path, Done done);
  bool Busy() const { return busy_; }

  void SetThreadStarter(ThreadStarter starter) { starter_ = std::move(starter); }

 private:
  platform::Dispatcher& dispatcher_;
  ThreadStarter starter_;
  std::thread thread_;
  bool busy_ = false;
  // Handed to what the reading thread posts, which must not reach a reader that is gone.
  std::shared_ptr<SourceReader*> self_;
};

}  // namespace app
