#include "app/qt_dispatcher.h"

namespace app {

QtDispatcher::QtDispatcher() = default;

void QtDispatcher::Post(std::function<void()> task) {
  // A queued call to this object runs on its thread, from the event loop.
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

}  // namespace app
