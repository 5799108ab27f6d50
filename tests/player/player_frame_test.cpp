// The player window under a window manager that frames it after it is shown: the map's
// size is the outer size, frame included, and a size the person gives the window stays.
#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>
#include <memory>

#include "player/player_window.h"
#include "player_folder.h"
#include "x_session.h"

namespace mw {
namespace {

class PlayerFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::ScreenFailure().empty()) GTEST_SKIP() << test::ScreenFailure();
    folder.AddTourClip(test::kHall);
  }

  // Shows the player on a map of outer size `size` and waits for the window manager's frame.
  void Show(WindowSize size) {
    folder.WriteMap({test::Mark(test::kHall, 0.25f, 0.25f, 20, test::kKitchen, "Kitchen")},
                    size);
    window = std::make_unique<PlayerWindow>(PlayerSetup{folder.Path(), "mwRun", "", {}, {}, {}});
    window->show();
    ASSERT_TRUE(test::WaitFor([&] { return Frame() != QSize(0, 0); }, 20000))
        << "the window manager framed no window";
  }
  QSize Frame() const { return window->frameGeometry().size() - window->geometry().size(); }
  QSize Outer() const { return window->frameGeometry().size(); }
  QString Id() const { return QString::number(window->winId()); }

  test::PlayerFolder folder;
  std::unique_ptr<PlayerWindow> window;
};

TEST_F(PlayerFrameTest, TheFrameComesOffTheInnerSizeOnceTheWindowManagerDrawsIt) {
  Show({640, 480});
  EXPECT_TRUE(test::WaitFor([&] { return Outer() == QSize(640, 480); }))
      << Outer().width() << "x" << Outer().height();
  EXPECT_EQ(window->size(), QSize(640, 480) - Frame());
  // Later moves keep it.
  ASSERT_TRUE(test::XInput::Run({"windowmove", Id(), "40", "60"}));
  QTest::qWait(200);
  EXPECT_EQ(Outer(), QSize(640, 480));
}

TEST_F(PlayerFrameTest, ASizeThePersonGivesTheWindowStaysThroughLaterMoves) {
  Show({640, 480});
  ASSERT_TRUE(test::WaitFor([&] { return Outer() == QSize(640, 480); }));
  ASSERT_TRUE(test::XInput::Run({"windowsize", Id(), "500", "400"}));
  ASSERT_TRUE(test::WaitFor([&] { return window->size() == QSize(500, 400); }))
      << window->width() << "x" << window->height();
  ASSERT_TRUE(test::XInput::Run({"windowmove", Id(), "80", "90"}));
  QTest::qWait(200);
  EXPECT_EQ(window->size(), QSize(500, 400));
}

TEST_F(PlayerFrameTest, AMapLargerThanTheScreenOpensWithinItFrameIncluded) {
  Show({1600, 1200});
  const QRect screen = window->screen()->availableGeometry();
  EXPECT_TRUE(test::WaitFor([&] {
    return Outer().width() <= screen.width() && Outer().height() <= screen.height();
  })) << Outer().width() << "x" << Outer().height();
  // The map's shape is kept: 4 by 3.
  EXPECT_NEAR(double(Outer().width()) / Outer().height(), 4.0 / 3.0, 0.02);
}

}  // namespace
}  // namespace mw
