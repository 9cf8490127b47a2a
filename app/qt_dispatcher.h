// The dispatcher on Qt's event loop: a task posted from a worker runs on the user-interface
// thread at the loop's next turn.
#pragma once

#include <QObject>

#include "platform/dispatcher.h"

namespace app {

class QtDispatcher final : public QObject, public platform::Dispatcher {
 public:
  // Lives on, and posts to, the thread that creates it: create it on the user-interface thread
  // after the application object.
  QtDispatcher();
  void Post(std::function<void()> task) override;
};

}  // namespace app
