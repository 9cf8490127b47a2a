// The main of GUI tests: the tests run inside a Qt application (offscreen unless a display is
// asked for); each test makes its own workspace with a Qt dispatcher.
#include <gtest/gtest.h>

#include <QApplication>


int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Offscreen unless a display is asked for (also when CTest lists the tests at build time).
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
