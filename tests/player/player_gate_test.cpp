// The player window started while its package still unpacks the clips: the start clip and
// the map are in place, the other clips are written only once the gate's pipe has ended.
// Offscreen, with real files, a real pipe and real mouse and key events.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "gate_pipe.h"
#include "player/player_window.h"
#include "player_folder.h"
#include "qt_wait.h"

namespace mw {
namespace {

using test::kHall;
using test::kKitchen;
using test::kMovie;
using test::WaitFor;

constexpr QPoint kHallLeftMark{160, 240};   // to the kitchen
constexpr QPoint kHallRightMark{480, 240};  // to the movie

class PlayerGateTest : public ::testing::Test {
 protected:
  PlayerGateTest() { folder.WriteMap(test::TourMarks()); }

  // The window on the gate, as the package starts it: its map and start clip named.
  PlayerWindow& Open() {
    MoviePlayer::Options silent;
    silent.audio = false;
    window = std::make_unique<PlayerWindow>(
        PlayerSetup{folder.Path(), "mwRun", "", silent, {}, UnpackGate(package.TakeReadEnd())});
    painted = std::make_unique<QSignalSpy>(window.get(), &PlayerWindow::StartClipPainted);
    shown = std::make_unique<QSignalSpy>(window.get(), &PlayerWindow::ClipShown);
    return *window;
  }
  // The start clip painted (and what follows its first paint done), in a clip area of
  // 640 x 480, where the points above lie.
  PlayerWindow& Start() {
    folder.AddTourClip(kHall);
    EXPECT_TRUE(package.Name("mwRun") && package.Name(kHall));
    Open().show();
    EXPECT_TRUE(WaitFor([&] { return painted->count() > 0; }));
    window->resize(640, 480);
    EXPECT_TRUE(WaitFor([&] { return Area()->size() == QSize(640, 480); }));
    shown->clear();
    return *window;
  }
  // The package's end: the pipe closes, and only then are the other clips written, before
  // the window's events run again.
  void FinishUnpacking() {
    package.End();
    folder.AddTourClip(kKitchen);
    folder.AddTourClip(kMovie);
  }
  ClipPanel* Area() { return window->ClipArea(); }
  void Hover(QPoint point) { QTest::mouseMove(Area(), point); }
  void Click(QPoint point) { QTest::mouseClick(Area(), Qt::LeftButton, {}, point); }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(window.get(), key, modifiers);
  }
  Qt::CursorShape Cursor() { return Area()->cursor().shape(); }

  test::PlayerFolder folder;
  test::GatePipe package;
  std::unique_ptr<PlayerWindow> window;
  std::unique_ptr<QSignalSpy> painted, shown;
};

TEST_F(PlayerGateTest, AClickBeforeEveryClipIsInPlaceIsHeldAndFollowedAfterwards) {
  PlayerWindow& player = Start();
  Click(kHallLeftMark);
  EXPECT_EQ(player.ClipOnScreen(), kHall);
  EXPECT_TRUE(player.MoveHeld());
  EXPECT_EQ(Cursor(), Qt::WaitCursor);
  EXPECT_TRUE(player.ProblemShown().isEmpty());
  // The marks' messages show meanwhile; the wait cursor stays.
  Hover(kHallRightMark + QPoint(5, 5));
  Hover(kHallRightMark);
  EXPECT_EQ(player.MarkMessageShown(), "Watch the movie");
  EXPECT_EQ(Cursor(), Qt::WaitCursor);

  FinishUnpacking();
  ASSERT_TRUE(WaitFor([&] { return player.ClipOnScreen() == kKitchen; }));
  EXPECT_EQ(player.KindOnScreen(), ClipKind::PhotoClip);
  EXPECT_TRUE(player.ProblemShown().isEmpty());
  EXPECT_FALSE(player.MoveHeld());
  EXPECT_NE(Cursor(), Qt::WaitCursor);
  EXPECT_EQ(shown->count(), 1);
}

TEST_F(PlayerGateTest, OfTwoFollowsBeforeTheEndTheLastIsMade) {
  PlayerWindow& player = Start();
  Click(kHallLeftMark);  // the kitchen
  // Choosing a mark works meanwhile; Enter follows it in place of the click.
  Key(Qt::Key_Tab);
  EXPECT_FALSE(player.FocusRingRect().isEmpty());
  EXPECT_EQ(player.MarkMessageShown(), "Watch the movie");
  Key(Qt::Key_Return);
  EXPECT_EQ(player.ClipOnScreen(), kHall);
  FinishUnpacking();
  ASSERT_TRUE(WaitFor([&] { return player.ClipOnScreen() == kMovie; }));
  EXPECT_EQ(player.KindOnScreen(), ClipKind::MovieClip);
  EXPECT_EQ(shown->count(), 1);  // the kitchen was never opened
  EXPECT_TRUE(player.ProblemShown().isEmpty());
}

TEST_F(PlayerGateTest, AStepBackBeforeTheEndTakesThePlaceOfAHeldFollow) {
  PlayerWindow& player = Start();
  Click(kHallLeftMark);
  Key(Qt::Key_Left, Qt::AltModifier);
  EXPECT_TRUE(player.MoveHeld());
  Key(Qt::Key_Backspace);
  EXPECT_TRUE(player.MoveHeld());
  EXPECT_EQ(Cursor(), Qt::WaitCursor);
  FinishUnpacking();
  // The step back is made: from the start clip it leads nowhere, and the click is gone.
  ASSERT_TRUE(WaitFor([&] { return !player.MoveHeld(); }));
  EXPECT_EQ(player.ClipOnScreen(), kHall);
  EXPECT_EQ(shown->count(), 0);
  EXPECT_TRUE(player.ProblemShown().isEmpty());
}

TEST_F(PlayerGateTest, AFollowAfterAHeldStepBackIsMade) {
  PlayerWindow& player = Start();
  Key(Qt::Key_Backspace);
  EXPECT_TRUE(player.MoveHeld());
  Click(kHallLeftMark);
  FinishUnpacking();
  ASSERT_TRUE(WaitFor([&] { return player.ClipOnScreen() == kKitchen; }));
  // Back from there as always.
  Key(Qt::Key_Backspace);
  EXPECT_EQ(player.ClipOnScreen(), kHall);
}

// The kitchen is being written when the start clip is painted: not even tried until the end.
TEST_F(PlayerGateTest, TheTargetsAreDecodedAheadOnlyOnceEveryClipIsInPlace) {
  folder.AddTourClip(kKitchen);
  std::filesystem::resize_file(folder.File(kKitchen),
                               std::filesystem::file_size(folder.File(kKitchen)) / 2);
  PlayerWindow& player = Start();
  PhotoPrefetcher& prefetcher = player.Display().Prefetcher();
  ASSERT_TRUE(prefetcher.WaitUntilIdle(std::chrono::seconds(20)));
  EXPECT_EQ(prefetcher.DecodesDone(), 0u);
  EXPECT_EQ(prefetcher.CachedCount(), 0u);
  EXPECT_TRUE(player.ProblemShown().isEmpty());
  FinishUnpacking();
  ASSERT_TRUE(WaitFor([&] { return prefetcher.CachedCount() == 1u; }, 20000));
  EXPECT_TRUE(player.ProblemShown().isEmpty());
}

TEST_F(PlayerGateTest, TheStartClipIsWaitedForWhenItsNameComesLater) {
  ASSERT_TRUE(package.Name("mwRun"));
  std::thread unpacking([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    folder.AddTourClip(kHall);
    package.Name(kHall);
  });
  PlayerWindow& player = Open();
  unpacking.join();
  EXPECT_EQ(player.ClipOnScreen(), kHall);
  EXPECT_EQ(player.KindOnScreen(), ClipKind::PhotoClip);
  EXPECT_TRUE(player.CaptionShown().isEmpty()) << player.CaptionShown().toStdString();
  player.show();
  EXPECT_TRUE(WaitFor([&] { return painted->count() > 0; }));
}

}  // namespace
}  // namespace mw
