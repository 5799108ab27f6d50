// The player's start with a start picture beside its map: the picture is painted first
// and the photo itself follows; a picture made for another photo is passed over.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <functional>
#include <memory>

#include "gate_pipe.h"
#include "jpeg_fixtures.h"
#include "media/start_picture.h"
#include "player/player_window.h"
#include "player_folder.h"

namespace mw {
namespace {

using test::kHall;

class PlayerStartPictureTest : public ::testing::Test {
 protected:
  // The tour with a hall photo of 1600 x 1200, four times the pixels of its window.
  PlayerStartPictureTest() {
    folder.MakeTour();
    test::WriteJpeg(folder.File(kHall), 1600, 1200);
  }
  void MakeStartPicture() {
    ASSERT_EQ(WriteStartPicture(folder.File(kHall), kHall, QSize(640, 480),
                                folder.File("mwRun.start.jpg")),
              "");
  }
  // The window, with the start picture decoded ahead as the program's start does it, or
  // left to the window.
  PlayerWindow& Open(bool decodedAhead = true, UnpackGate gate = {}) {
    MoviePlayer::Options silent;
    silent.audio = false;
    std::shared_future<CachedPhoto> ahead;
    if (decodedAhead) ahead = DecodeStartPictureAhead(folder.File("mwRun.start.jpg"));
    window = std::make_unique<PlayerWindow>(
        PlayerSetup{folder.Path(), "mwRun", "", silent, std::move(ahead), std::move(gate)});
    return *window;
  }
  PhotoImage& Photo() { return window->Display().Photo(); }
  bool WaitFor(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(5000);
    while (!condition() && !deadline.hasExpired()) QTest::qWait(5);
    return condition();
  }

  test::PlayerFolder folder;
  std::unique_ptr<PlayerWindow> window;
};

class PlayerStartPictureTimingTest : public PlayerStartPictureTest,
                                     public ::testing::WithParamInterface<bool> {};

TEST_P(PlayerStartPictureTimingTest, TheStartPictureIsPaintedFirstAndThePhotoFollows) {
  MakeStartPicture();
  PlayerWindow& player = Open(GetParam());
  EXPECT_TRUE(Photo().ShowsStandIn());
  EXPECT_EQ(Photo().Path(), folder.File(kHall));
  EXPECT_LE(Photo().Image().width(), 640);
  player.show();
  ASSERT_TRUE(WaitFor([&] { return player.StartPainted(); }));
  ASSERT_TRUE(WaitFor([&] { return !Photo().ShowsStandIn(); }));
  // The photo itself, decoded at half its size to cover the area.
  EXPECT_EQ(Photo().Image().size(), QSize(800, 600));
  EXPECT_EQ(player.ClipOnScreen(), kHall);
  EXPECT_EQ(player.KindOnScreen(), ClipKind::PhotoClip);
}

INSTANTIATE_TEST_SUITE_P(DecodedAheadOrByTheWindow, PlayerStartPictureTimingTest,
                         ::testing::Bool());

TEST_F(PlayerStartPictureTest, APictureOfAPhotoReplacedSinceIsPassedOver) {
  MakeStartPicture();
  test::WriteJpeg(folder.File(kHall), 1600, 1000);
  PlayerWindow& player = Open();
  EXPECT_FALSE(Photo().ShowsStandIn());
  EXPECT_EQ(Photo().Image().size(), QSize(800, 500));
  player.show();
  EXPECT_TRUE(WaitFor([&] { return player.StartPainted(); }));
}

TEST_F(PlayerStartPictureTest, ADamagedPictureIsPassedOverAndTheStartPhotoShown) {
  MakeStartPicture();
  const std::string picture = folder.File("mwRun.start.jpg");
  // Cut inside its tables: the tie still reads, the picture does not decode.
  std::filesystem::resize_file(picture, 300);
  PlayerWindow& player = Open();
  EXPECT_FALSE(Photo().ShowsStandIn());
  EXPECT_EQ(Photo().Image().size(), QSize(800, 600));
  player.show();
  ASSERT_TRUE(WaitFor([&] { return player.StartPainted(); }));
  EXPECT_EQ(player.KindOnScreen(), ClipKind::PhotoClip);
  EXPECT_TRUE(player.ProblemShown().isEmpty());
}

// While the package still unpacks, a start picture it has not named yet may be a file
// still being written: the start clip shows without it.
TEST_F(PlayerStartPictureTest, OnlyAStartPictureInPlaceStandsIn) {
  MakeStartPicture();
  for (const bool named : {false, true}) {
    test::GatePipe package;
    package.Name("mwRun");
    if (named) package.Name("mwRun.start.jpg");
    package.Name(kHall);
    Open(false, UnpackGate(package.TakeReadEnd()));
    EXPECT_EQ(Photo().ShowsStandIn(), named);
    EXPECT_EQ(window->ClipOnScreen(), kHall);
    EXPECT_EQ(window->KindOnScreen(), ClipKind::PhotoClip);
  }
}

}  // namespace
}  // namespace mw
