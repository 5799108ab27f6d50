// Test entry point for tests that need a QApplication: runs offscreen unless told
// otherwise, so the tests need no display.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  QApplication::setApplicationName("MarkWeaver");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
