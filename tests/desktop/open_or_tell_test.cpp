// The desktop's opener run for real (xdg-open): a desktop that has no program for a thing
// says so within moments, and the caller is told with the opener's reason; one that opens
// it tells nothing.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <optional>
#include <string>

#include "desktop/qt_desktop.h"

namespace mw {
namespace {

class OpenOrTellTest : public ::testing::Test {
 protected:
  // No display, no desktop session and no browser named: the opener has no program for a
  // web address.
  void SetUp() override {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "BROWSER", "XDG_CURRENT_DESKTOP",
                             "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID",
                             "MATE_DESKTOP_SESSION_ID", "XDG_SESSION_DESKTOP"})
      unsetenv(name);
  }
  void TearDown() override { unsetenv("BROWSER"); }

  // Opens `what` and waits until the opener has ended; gives the failure's reason, if one
  // was told.
  std::optional<std::string> Open(const std::string& what) {
    std::optional<std::string> reason;
    desktop.OpenOrTell(what, [&reason](const std::string& why) { reason = why; });
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return QCoreApplication::instance()->findChildren<QProcess*>().isEmpty(); }, 8000))
        << "the opener did not end";
    return reason;
  }

  QtDesktop desktop;
};

TEST_F(OpenOrTellTest, AnAddressNoProgramTakesIsToldWithTheOpenersReason) {
  const std::optional<std::string> reason = Open("https://www.markweaver.example/");
  ASSERT_TRUE(reason.has_value()) << "the failing opener was not noticed";
  EXPECT_FALSE(reason->empty());
}

TEST_F(OpenOrTellTest, AMissingFileOrAnOptionLikeTextIsToldAtOnce) {
  bool told = false;
  desktop.OpenOrTell("/no/such/folder/readme.txt", [&](const std::string& why) {
    told = true;
    EXPECT_EQ(why, "no such file");
  });
  EXPECT_TRUE(told);
  told = false;
  desktop.OpenOrTell("--help", [&](const std::string&) { told = true; });
  EXPECT_TRUE(told);
}

TEST_F(OpenOrTellTest, AnAddressTheDesktopOpensTellsNothing) {
  // The person's browser, as the desktop's settings name it: here a program that takes
  // the address and ends at once.
  setenv("BROWSER", "true", 1);
  EXPECT_FALSE(Open("https://www.markweaver.example/").has_value());
}

}  // namespace
}  // namespace mw
