// The main-thread dispatcher on Qt's event loop: a handler posted from a worker runs on the
// user-interface thread at the loop's next turn, while the worker waits for it.
#pragma once

#include <QObject>

#include "platform/dispatcher.h"


class QtDispatcher final : public QObject, public platform::MainThreadDispatcher {
 public:
  // Lives on, and posts to, the thread that creates it: create it on the user-interface thread
  // after the application object.
  QtDispatcher();
  void Post(std::function<void()> task) override;
  bool IsMainThread() const override;
};

