// Test entry point for tests that act on a real screen: starts a virtual screen with a
// window manager of its own, then the QApplication on it. Where the screen cannot be
// started, the application runs offscreen and the tests that need the screen skip.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "x_session.h"

namespace {

bool Listing(int argc, char** argv) {
  for (int k = 1; k < argc; ++k)
    if (std::strncmp(argv[k], "--gtest_list_tests", 18) == 0) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::unique_ptr<mw::test::XSession> session;
  if (!Listing(argc, argv)) {
    session = std::make_unique<mw::test::XSession>(1024, 768);
    mw::test::ScreenFailure() = session->Failure();
  }
  const bool screen = session && session->Failure().empty();
  if (screen) setenv("DISPLAY", session->Display().c_str(), 1);
  setenv("QT_QPA_PLATFORM", screen ? "xcb" : "offscreen", 1);
  int result = 0;
  {
    QApplication app(argc, argv);
    QApplication::setApplicationName("MarkWeaver");
    testing::InitGoogleTest(&argc, argv);
    result = RUN_ALL_TESTS();
  }
  return result;
}
