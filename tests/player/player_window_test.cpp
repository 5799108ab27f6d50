// The player window on real package folders, with real photos, a real movie and real
// mouse and key events, offscreen.
#include "player/player_window.h"
#include "player/clip_overlays.h"

#include <QScrollBar>

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "jpeg_fixtures.h"
#include "player_folder.h"
#include "qt_wait.h"

namespace mw {
namespace {

using test::kHall;
using test::kKitchen;
using test::kMovie;
using test::Mark;
using test::WaitFor;

constexpr QPoint kHallLeftMark{160, 240};   // to the kitchen
constexpr QPoint kHallRightMark{480, 240};  // to the movie
constexpr QPoint kKitchenMark{320, 384};    // back to the hall
constexpr QPoint kNoMark{40, 420};

class PlayerWindowTest : public ::testing::Test {
 protected:
  // The window as the map sizes it: its outer size is the map's.
  PlayerWindow& StartAsTheMapSays(const std::string& message = "") {
    MoviePlayer::Options silent;
    silent.audio = false;
    window = std::make_unique<PlayerWindow>(PlayerSetup{folder.Path(), "mwRun", message, silent, {}, {}});
    window->show();
    EXPECT_TRUE(WaitFor([&] { return window->StartPainted(); }));
    return *window;
  }
  // The window with a clip area of exactly 640 x 480, where the points below lie.
  PlayerWindow& Start(const std::string& message = "") {
    StartAsTheMapSays(message);
    window->resize(640, 480);
    EXPECT_TRUE(WaitFor([&] { return Area()->size() == QSize(640, 480); }));
    return *window;
  }
  ClipPanel* Area() { return window->ClipArea(); }
  void Hover(QPoint point) { QTest::mouseMove(Area(), point); }
  void Click(QPoint point) { QTest::mouseClick(Area(), Qt::LeftButton, {}, point); }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(window.get(), key, modifiers);
  }
  QRgb ShownAt(QPoint point) { return Area()->grab().toImage().pixel(point); }
  bool Playing() { return window->Display().Player().IsPlaying(); }

  test::PlayerFolder folder;
  std::unique_ptr<PlayerWindow> window;
};

TEST_F(PlayerWindowTest, ShowsTheStartClipStretchedInTheMapsWindowSize) {
  folder.MakeTour();
  PlayerWindow& player = StartAsTheMapSays();
  EXPECT_EQ(player.windowTitle(), "MarkWeaver");
  // The map keeps the editor's outer size: the frame is part of the 640 x 480.
  EXPECT_TRUE(WaitFor([&] { return player.frameGeometry().size() == QSize(640, 480); }))
      << player.frameGeometry().width() << "x" << player.frameGeometry().height();
  EXPECT_EQ(player.ClipOnScreen(), kHall);
  EXPECT_EQ(player.KindOnScreen(), ClipKind::PhotoClip);
  // The 320 x 240 photo covers the whole area: its white quadrant reaches the far corner.
  EXPECT_EQ(qRed(ShownAt({5, 5})) > 200 && qGreen(ShownAt({5, 5})) < 60, true);
  const QRgb corner = ShownAt({635, 475});
  EXPECT_GT(qRed(corner) + qGreen(corner) + qBlue(corner), 3 * 200);
  EXPECT_TRUE(player.PackageMessageShown().isEmpty());
  EXPECT_TRUE(player.ProblemShown().isEmpty());
}

TEST_F(PlayerWindowTest, HoverShowsTheMarksMessageAndAClickFollowsIt) {
  folder.MakeTour();
  PlayerWindow& player = Start();
  Hover(kHallLeftMark);
  EXPECT_EQ(player.MarkMessageShown(), "Go to the kitchen");
  Hover(kHallRightMark + QPoint(19, 19));
  EXPECT_EQ(player.MarkMessageShown(), "Watch the movie");
  Hover(kHallRightMark + QPoint(20, 0));  // just outside
  EXPECT_TRUE(player.MarkMessageShown().isEmpty());
  Click(kNoMark);
  EXPECT_EQ(player.ClipOnScreen(), kHall);
  Click(kHallLeftMark);
  EXPECT_EQ(player.ClipOnScreen(), kKitchen);
  EXPECT_EQ(player.KindOnScreen(), ClipKind::PhotoClip);
  EXPECT_TRUE(player.MarkMessageShown().isEmpty());
  Hover(kKitchenMark);
  EXPECT_EQ(player.MarkMessageShown(), "Back to the hall");
}

TEST_F(PlayerWindowTest, ThePhotoTargetsOfTheClipOnScreenAreReadyBeforeTheClick) {
  folder.MakeTour();
  PlayerWindow& player = Start();
  PhotoPrefetcher& prefetcher = player.Display().Prefetcher();
  // The decoding ahead is asked for just after the start clip's paint, on the event loop.
  ASSERT_TRUE(WaitFor([&] { return prefetcher.CachedCount() > 0; }));
  ASSERT_TRUE(prefetcher.WaitUntilIdle(std::chrono::seconds(20)));
  EXPECT_EQ(prefetcher.CachedCount(), 1u);  // the kitchen; the movie is not decoded ahead
  Click(kHallLeftMark);
  ASSERT_EQ(player.ClipOnScreen(), kKitchen);
  // The kitchen on screen is the picture decoded ahead, not a decode of the click.
  const ClipDisplay& display = player.Display();
  std::optional<CachedPhoto> kitchen =
      prefetcher.Take(player.Display().Photo().Path(), display.PhotoDecodeSize());
  ASSERT_TRUE(kitchen);
  EXPECT_EQ(Area()->Image1()->Photo().constBits(), kitchen->pixels->Data());
  // Now the kitchen's own target, the hall, is decoded ahead.
  ASSERT_TRUE(prefetcher.WaitUntilIdle(std::chrono::seconds(20)));
  EXPECT_EQ(prefetcher.CachedCount(), 2u);
}

TEST_F(PlayerWindowTest, DoubleClickFollowsOneMarkOnly) {
  folder.MakeTour();
  PlayerWindow& player = Start();
  // The second press arrives as a double click on the clip just reached.
  Click(kHallLeftMark);
  ASSERT_EQ(player.ClipOnScreen(), kKitchen);
  QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(kKitchenMark),
                     Area()->mapToGlobal(QPointF(kKitchenMark)), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
  QApplication::sendEvent(Area(), &second);
  EXPECT_EQ(player.ClipOnScreen(), kKitchen);
}

TEST_F(PlayerWindowTest, BackspaceAndAltLeftGoBackAlongTheWay) {
  folder.MakeTour();
  PlayerWindow& player = Start();
  Key(Qt::Key_Backspace);  // nothing before the start clip
  EXPECT_EQ(player.ClipOnScreen(), kHall);
  Click(kHallLeftMark);
  Click(kKitchenMark);
  Click(kHallLeftMark);
  EXPECT_EQ(player.ClipOnScreen(), kKitchen);
  Key(Qt::Key_Backspace);
  EXPECT_EQ(player.ClipOnScreen(), kHall);
  Key(Qt::Key_Left, Qt::AltModifier);
  EXPECT_EQ(player.ClipOnScreen(), kKitchen);
  Key(Qt::Key_Left);  // Left alone does not go back
  EXPECT_EQ(player.ClipOnScreen(), kKitchen);
}

TEST_F(PlayerWindowTest, AMovieTargetPlaysAtOnceAndSpacePausesAndResumesIt) {
  folder.MakeTour();
  PlayerWindow& player = Start();
  Click(kHallRightMark);
  EXPECT_EQ(player.ClipOnScreen(), kMovie);
  EXPECT_EQ(player.KindOnScreen(), ClipKind::MovieClip);
  EXPECT_TRUE(Playing());
  MoviePlayer& movie = player.Display().Player();
  ASSERT_TRUE(WaitFor([&] { return movie.Position() > 300; }));
  ASSERT_TRUE(WaitFor([&] { return !Area()->Image1()->MovieFrame().isNull(); }));
  Key(Qt::Key_Space);
  EXPECT_FALSE(Playing());
  const int pausedAt = movie.Position();
  QTest::qWait(200);
  EXPECT_LT(std::abs(movie.Position() - pausedAt), 60);
  Key(Qt::Key_Space);
  EXPECT_TRUE(Playing());
  // At its end the movie stops; Space plays it again from the start.
  ASSERT_TRUE(WaitFor([&] { return !Playing(); }, 8000));
  Key(Qt::Key_Space);
  EXPECT_TRUE(WaitFor([&] { return Playing() && movie.Position() < 2000; }));
  Key(Qt::Key_Backspace);
  EXPECT_EQ(player.ClipOnScreen(), kHall);
  EXPECT_FALSE(movie.IsOpen());
}

// The colour bands met walking from the edge of `shown` inwards along row `y`, on the left
// and (mirrored) on the right, as "D" for the dark line, "B" for the bright ring, "?" for
// anything else; one letter per device pixel.
std::string RingBands(const QImage& shown, int y, int count, bool from_right) {
  std::string bands;
  for (int i = 0; i < count; ++i) {
    const QRgb pixel = shown.pixel(from_right ? shown.width() - 1 - i : i, y) & 0xffffff;
    bands += pixel == 0x141414 ? 'D' : pixel == 0xffc800 ? 'B' : '?';
  }
  return bands;
}

// Run at ratios 1, 1.5 and 2: each band of the ring is a whole number of device pixels,
// the same on every side, in its exact colour.
TEST_F(PlayerWindowTest, FocusRingIsDrawnCrisp) {
  folder.MakeTour();
  Start();
  Key(Qt::Key_Tab);
  auto* ring = window->findChild<QWidget*>("FocusRing");
  ASSERT_NE(ring, nullptr);
  const QImage shown = ring->grab().toImage();
  const qreal ratio = shown.devicePixelRatio();
  const int line = std::max(1, static_cast<int>(std::lround(ratio)));
  const int bright = static_cast<int>(std::lround(3 * ratio));
  const std::string expected =
      std::string(line, 'D') + std::string(bright, 'B') + std::string(line, 'D');
  const int count = static_cast<int>(expected.size());
  const int middle = shown.height() / 2;
  EXPECT_EQ(RingBands(shown, middle, count, false), expected);
  EXPECT_EQ(RingBands(shown, middle, count, true), expected);
  const QImage turned = shown.transformed(QTransform().rotate(90));
  EXPECT_EQ(RingBands(turned, turned.height() / 2, count, false), expected);
  EXPECT_EQ(RingBands(turned, turned.height() / 2, count, true), expected);
}

TEST_F(PlayerWindowTest, TabChoosesTheMarksInMapOrderAndEnterFollows) {
  folder.MakeTour();
  PlayerWindow& player = Start();
  EXPECT_TRUE(player.FocusRingRect().isEmpty());
  Key(Qt::Key_Tab);
  EXPECT_TRUE(player.FocusRingRect().contains(QRect(460, 220, 40, 40)));
  EXPECT_FALSE(player.FocusRingRect().contains(kHallLeftMark));
  EXPECT_EQ(player.MarkMessageShown(), "Watch the movie");
  Key(Qt::Key_Tab);
  EXPECT_TRUE(player.FocusRingRect().contains(QRect(140, 220, 40, 40)));
  EXPECT_EQ(player.MarkMessageShown(), "Go to the kitchen");
  Key(Qt::Key_Tab);
  EXPECT_EQ(player.MarkMessageShown(), "Watch the movie");
  Key(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(player.MarkMessageShown(), "Go to the kitchen");
  Key(Qt::Key_Return);
  EXPECT_EQ(player.ClipOnScreen(), kKitchen);
  EXPECT_TRUE(player.FocusRingRect().isEmpty());
  Key(Qt::Key_Enter);  // nothing chosen on the new clip
  EXPECT_EQ(player.ClipOnScreen(), kKitchen);
  Key(Qt::Key_Tab);
  Key(Qt::Key_Enter);
  EXPECT_EQ(player.ClipOnScreen(), kHall);
}

TEST_F(PlayerWindowTest, AWindowLargerThanTheScreenIsFittedKeepingItsShape) {
  folder.AddTourClips();
  folder.WriteMap({Mark(kHall, 0.5f, 0.5f, 10, kKitchen, "Far")}, {8192, 4096});
  PlayerWindow& player = StartAsTheMapSays();
  const QSize screen = player.screen()->availableGeometry().size();
  ASSERT_LT(screen.width(), 8192);
  const QSize outer = player.frameGeometry().size();
  EXPECT_LE(outer.width(), screen.width());
  EXPECT_LE(outer.height(), screen.height());
  EXPECT_NEAR(static_cast<double>(outer.width()) / outer.height(), 2.0, 0.02);
}

TEST_F(PlayerWindowTest, MarksScaleWithTheWindow) {
  folder.AddTourClips();
  ClickerMark mark = Mark(kHall, 0.5f, 0.5f, 10, kKitchen, "Scaled");
  mark.AreaWidth = 320;
  mark.AreaHeight = 240;
  folder.WriteMap({mark});
  PlayerWindow& player = Start();
  Hover({339, 240});  // the 640 x 480 area doubles the mark to 20 each side
  EXPECT_EQ(player.MarkMessageShown(), "Scaled");
  Hover({341, 240});
  EXPECT_TRUE(player.MarkMessageShown().isEmpty());
  player.resize(1280, 480);
  EXPECT_TRUE(WaitFor([&] { return Area()->width() == 1280; }));
  Hover({679, 240});
  EXPECT_EQ(player.MarkMessageShown(), "Scaled");
  Key(Qt::Key_Tab);
  EXPECT_TRUE(player.FocusRingRect().contains(QRect(600, 220, 80, 40)));
}

TEST_F(PlayerWindowTest, TheMessageShowsOnceUntilDismissedAndOnlyWhenGiven) {
  folder.MakeTour();
  const std::string message = "Welcome <b>home</b> & \"enjoy\"";
  PlayerWindow& player = Start(message);
  EXPECT_EQ(player.PackageMessageShown().toStdString(), message);  // as typed, not as markup
  auto* dismiss = player.findChild<QToolButton*>("DismissMessage");
  ASSERT_NE(dismiss, nullptr);
  QTest::mouseClick(dismiss, Qt::LeftButton);
  EXPECT_TRUE(player.PackageMessageShown().isEmpty());
  Click(kHallLeftMark);
  Key(Qt::Key_Backspace);
  EXPECT_TRUE(player.PackageMessageShown().isEmpty());

  Start("Hello");
  EXPECT_EQ(window->PackageMessageShown(), "Hello");
  Click(kHallLeftMark);  // following a mark puts the message away too
  EXPECT_TRUE(window->PackageMessageShown().isEmpty());
}

// A long message is shown whole: wrapped within the clip area, scrolling where it does not
// fit, from its first line on; a short one needs no scrolling.
TEST_F(PlayerWindowTest, ALongMessageIsShownWholeAndScrolls) {
  folder.MakeTour();
  std::string message = "First words.";
  for (int i = 0; message.size() < 5000; ++i) message += " word" + std::to_string(i);
  message += " Last words.";
  PlayerWindow& player = Start(message);
  EXPECT_EQ(player.PackageMessageShown().toStdString(), message);
  auto* banner = player.findChild<ClipBanner*>("MessageBanner");
  ASSERT_NE(banner, nullptr);
  const QRect area = banner->parentWidget()->rect();
  EXPECT_TRUE(area.contains(banner->geometry())) << banner->geometry().height();
  EXPECT_LE(banner->height(), area.height() / 2);
  QScrollBar* bar = banner->Scroller()->verticalScrollBar();
  EXPECT_TRUE(WaitFor([&] { return bar->maximum() > 0; }));
  EXPECT_EQ(bar->value(), 0);  // its first line is on show
  bar->setValue(bar->maximum());
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_FALSE(banner->Scroller()->horizontalScrollBar()->isVisible());

  Start("Hello");
  QScrollBar* short_bar =
      window->findChild<ClipBanner*>("MessageBanner")->Scroller()->verticalScrollBar();
  QApplication::processEvents();
  EXPECT_EQ(short_bar->maximum(), 0);
}

TEST_F(PlayerWindowTest, EscapeEndsThePlayer) {
  folder.MakeTour();
  PlayerWindow& player = Start();
  Key(Qt::Key_Escape);
  EXPECT_FALSE(player.isVisible());
}

// --- Bad input: each case tells what is wrong and leaves the player usable.

TEST_F(PlayerWindowTest, AMissingOrDamagedDataFileIsToldInTheWindow) {
  PlayerWindow& player = Start("Hi");
  EXPECT_EQ(player.CaptionShown(),
            "This package cannot be played: its map file \"mwRun\" is missing.");
  EXPECT_EQ(player.PackageMessageShown(), "Hi");
  Key(Qt::Key_Tab);
  Key(Qt::Key_Return);
  Key(Qt::Key_Backspace);
  Key(Qt::Key_Space);
  Click(kHallLeftMark);
  EXPECT_TRUE(player.isVisible());

  folder.WriteText("mwRun", std::string("\x7f"
                                        "ELF\x02\x01\x01\0\0\0",
                                        10));
  Start();
  EXPECT_EQ(window->CaptionShown(),
            "This package cannot be played: its map file \"mwRun\" is damaged.");
  folder.WriteText("mwRun", "markweaverdata1.01\r\n640\r\n480\r\n");
  Start();
  EXPECT_EQ(window->CaptionShown(), "This package holds no clips to play.");
}

TEST_F(PlayerWindowTest, AMissingStartClipIsToldAndItsMarksStillLeadOn) {
  folder.MakeTour();
  std::filesystem::remove(folder.File(kHall));
  PlayerWindow& player = Start();
  EXPECT_EQ(player.CaptionShown(), "The clip \"hall.jpg\" is missing from this package.");
  EXPECT_EQ(player.KindOnScreen(), ClipKind::NoClip);
  Key(Qt::Key_Tab);
  Key(Qt::Key_Tab);
  EXPECT_EQ(player.MarkMessageShown(), "Go to the kitchen");
  Key(Qt::Key_Return);
  EXPECT_EQ(player.ClipOnScreen(), kKitchen);
  EXPECT_EQ(player.KindOnScreen(), ClipKind::PhotoClip);
  Key(Qt::Key_Backspace);  // the way back leads to the missing clip: stay
  EXPECT_EQ(player.ClipOnScreen(), kKitchen);
  EXPECT_EQ(player.ProblemShown(), "The clip \"hall.jpg\" is missing from this package.");
}

TEST_F(PlayerWindowTest, AStartClipThatCannotBeDecodedIsTold) {
  folder.MakeTour();
  test::DamageFrameHeader(folder.File(kHall));
  PlayerWindow& player = Start();
  EXPECT_TRUE(player.CaptionShown().startsWith("The clip \"hall.jpg\" cannot be shown"));
  Click(kHallLeftMark);
  EXPECT_EQ(player.ClipOnScreen(), kKitchen);
}

TEST_F(PlayerWindowTest, ATargetThatCannotBeOpenedLeavesTheClipOnScreen) {
  folder.AddTourClips();
  folder.WriteText("broken.jpg", "not a photo at all");
  std::filesystem::copy_file(std::string(MW_TEST_DATA_DIR) + "/media/not_a_movie.mpg",
                             folder.File("broken.mpg"));
  folder.WriteMap({Mark(kMovie, 0.25f, 0.5f, 20, "gone.jpg", "Gone"),
                   Mark(kMovie, 0.75f, 0.5f, 20, "broken.mpg", "Broken movie"),
                   Mark(kMovie, 0.5f, 0.9f, 20, "broken.jpg", "Broken photo"),
                   Mark(kMovie, 0.5f, 0.1f, 20, "", "Nowhere"),
                   Mark(kMovie, 0.1f, 0.1f, 20, ".", "The folder")});
  PlayerWindow& player = Start();
  ASSERT_EQ(player.KindOnScreen(), ClipKind::MovieClip);
  EXPECT_TRUE(Playing());
  Click(kHallLeftMark);
  EXPECT_EQ(player.ProblemShown(), "The clip \"gone.jpg\" is missing from this package.");
  EXPECT_EQ(player.ClipOnScreen(), kMovie);
  EXPECT_TRUE(Playing());
  Click(kHallRightMark);
  EXPECT_TRUE(player.ProblemShown().startsWith("The clip \"broken.mpg\" cannot be shown"));
  EXPECT_EQ(player.ClipOnScreen(), kMovie);
  EXPECT_TRUE(player.Display().Player().IsOpen());
  EXPECT_TRUE(Playing());
  Click({320, 432});
  EXPECT_TRUE(player.ProblemShown().startsWith("The clip \"broken.jpg\" cannot be shown"));
  EXPECT_TRUE(Playing());
  Click({320, 48});
  EXPECT_EQ(player.ClipOnScreen(), kMovie);
  Click({64, 48});
  EXPECT_EQ(player.ProblemShown(),
            "The clip \".\" is missing from this package.\nIt is a folder, not a plain file.");
  EXPECT_EQ(player.ClipOnScreen(), kMovie);
  EXPECT_TRUE(player.isVisible());
}

TEST_F(PlayerWindowTest, AFailedStepBackLeavesNoRingOfAChoiceThatIsGone) {
  folder.MakeTour();
  PlayerWindow& player = Start();
  Click(kHallLeftMark);
  ASSERT_EQ(player.ClipOnScreen(), kKitchen);
  std::filesystem::remove(folder.File(kHall));
  Key(Qt::Key_Tab);
  ASSERT_FALSE(player.FocusRingRect().isEmpty());
  Key(Qt::Key_Backspace);
  EXPECT_EQ(player.ClipOnScreen(), kKitchen);
  EXPECT_FALSE(player.ProblemShown().isEmpty());
  EXPECT_TRUE(player.FocusRingRect().isEmpty());
  // A new choice starts afresh and leads on.
  Key(Qt::Key_Tab);
  EXPECT_FALSE(player.FocusRingRect().isEmpty());
}

TEST_F(PlayerWindowTest, AMovieTargetThatFailsLeavesTheMovieWhereItWas) {
  folder.AddTourClips();
  std::filesystem::copy_file(std::string(MW_TEST_DATA_DIR) + "/media/not_a_movie.mpg",
                             folder.File("broken.mpg"));
  folder.WriteMap({Mark(kMovie, 0.75f, 0.5f, 20, "broken.mpg", "Broken movie")});
  PlayerWindow& player = Start();
  ASSERT_EQ(player.KindOnScreen(), ClipKind::MovieClip);
  MoviePlayer& movie = player.Display().Player();
  ASSERT_TRUE(WaitFor([&] { return movie.Position() > 600; }));
  int before = movie.Position();
  Click(kHallRightMark);
  EXPECT_TRUE(player.ProblemShown().startsWith("The clip \"broken.mpg\" cannot be shown"));
  EXPECT_GE(movie.Position(), before);
  EXPECT_TRUE(Playing());
  // A paused movie stays paused where it stood.
  Key(Qt::Key_Space);
  ASSERT_FALSE(Playing());
  before = movie.Position();
  Click(kHallRightMark);
  EXPECT_FALSE(Playing());
  EXPECT_LT(std::abs(movie.Position() - before), 60);
  EXPECT_TRUE(player.ProblemShown().startsWith("The clip \"broken.mpg\" cannot be shown"));
  Key(Qt::Key_Space);  // and goes on from there
  EXPECT_TRUE(Playing());
  EXPECT_GE(movie.Position(), before);
}

TEST_F(PlayerWindowTest, TheProblemNoticeLetsTheMouseThroughAndGoesWithTheNextClip) {
  folder.AddTourClips();
  folder.WriteMap({Mark(kHall, 0.5f, 0.95f, 20, "gone.jpg", "Gone"),
                   Mark(kHall, 0.25f, 0.5f, 20, kKitchen, "Kitchen")});
  PlayerWindow& player = Start();
  Click({320, 456});
  EXPECT_FALSE(player.ProblemShown().isEmpty());
  Hover({320, 460});  // under the notice
  EXPECT_EQ(player.MarkMessageShown(), "Gone");
  Click(kHallLeftMark);
  EXPECT_TRUE(player.ProblemShown().isEmpty());
}

}  // namespace
}  // namespace mw
