// The main of GUI tests: the tests run inside a Qt application (offscreen unless a display is
// asked for), with the Qt dispatcher as the engine's main-thread dispatcher.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/qt_dispatcher.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Offscreen unless a display is asked for (also when CTest lists the tests at build time).
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QtDispatcher dispatcher;
  platform::SetMainDispatcher(&dispatcher);
  const int result = RUN_ALL_TESTS();
  platform::SetMainDispatcher(nullptr);
  return result;
}
