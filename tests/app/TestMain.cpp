#include <gtest/gtest.h>
#include <QApplication>

// The window tests need a QApplication; they run offscreen unless told
// otherwise, also when CTest lists them.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  // Tests close windows; that must not stop later modal boxes from running.
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
