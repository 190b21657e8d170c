#include <gtest/gtest.h>
#include <QApplication>

// These tests look at what a real X server holds for the program's windows;
// they run on the xcb platform, under Xvfb when CTest starts them.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
