// The movie back-end with real movies, headless and without sound.
#include "media/movie_player.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "../map/temp_folder.h"
#include "../support/hostile_clips.h"
#include "../support/loopback_server.h"
#include "movie_fixtures.h"

namespace mw {
namespace {

using test::CentreHue;
using test::Hue;
using test::MoviePath;

MoviePlayer::Options Silent() {
  MoviePlayer::Options options;
  options.audio = false;
  return options;
}

class MoviePlayerTest : public ::testing::Test {
 protected:
  void OpenShown(const std::string& name) {
    ASSERT_TRUE(player.Open(MoviePath(name)));
    player.SetDisplayRect(QRect(0, 0, 160, 120));
  }
  // Waits until the frame on show has the given colour in its middle.
  bool WaitForHue(Hue hue, int timeout_ms = 5000) {
    return test::WaitFor([&] { return CentreHue(player.Frame()) == hue; }, timeout_ms);
  }
  MoviePlayer player{Silent()};
};

class MovieFormatTest : public MoviePlayerTest,
                        public ::testing::WithParamInterface<const char*> {};

TEST_P(MovieFormatTest, OpensWithItsLengthAndShowsTheFrameAtASeek) {
  ASSERT_TRUE(player.IsUsable());
  OpenShown(GetParam());
  EXPECT_TRUE(player.IsOpen());
  EXPECT_TRUE(player.HasVideo());
  EXPECT_NEAR(player.Length(), 3000, 150);
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_TRUE(WaitForHue(Hue::Red));
  EXPECT_EQ(player.Frame().size(), QSize(160, 120));

  player.Seek(1500);
  // The seek target until the seek lands, then the frame's own time, within a frame.
  EXPECT_NEAR(player.Position(), 1500, 40);
  EXPECT_TRUE(WaitForHue(Hue::Green));
  player.Seek(2500);
  EXPECT_TRUE(WaitForHue(Hue::Blue));
  player.Seek(500);
  EXPECT_TRUE(WaitForHue(Hue::Red));
  // Once the seek has ended the position is that of the frame shown, within a frame.
  EXPECT_TRUE(test::WaitFor([&] { return std::abs(player.Position() - 500) <= 40; }))
      << player.Position();
  EXPECT_FALSE(player.IsPlaying());
}

INSTANTIATE_TEST_SUITE_P(Formats, MovieFormatTest,
                         ::testing::Values("rgb.mpg", "rgb.mpeg", "rgb.avi", "rgb.mp4"),
                         [](const auto& info) {
                           std::string name = info.param;
                           return name.substr(name.find('.') + 1);
                         });

TEST_F(MoviePlayerTest, FailedOpenLeavesNoMovieOpen) {
  OpenShown("rgb.mpg");
  ASSERT_TRUE(WaitForHue(Hue::Red));
  EXPECT_FALSE(player.Open(MoviePath("not_a_movie.mpg")));
  EXPECT_FALSE(player.IsOpen());
  EXPECT_TRUE(player.Frame().isNull());
  EXPECT_EQ(player.Length(), 0);
  EXPECT_EQ(player.Position(), 0);
  EXPECT_FALSE(player.Open(MoviePath("missing.avi")));
  EXPECT_FALSE(player.Open(""));
  // The player is still good for the next movie.
  OpenShown("rgb.avi");
  EXPECT_TRUE(WaitForHue(Hue::Red));
}

TEST_F(MoviePlayerTest, OpeningAgainReplacesTheMovie) {
  OpenShown("rgb.mpg");
  player.Seek(2500);
  ASSERT_TRUE(WaitForHue(Hue::Blue));
  OpenShown("rgb.mp4");
  EXPECT_TRUE(WaitForHue(Hue::Red));
  EXPECT_NEAR(player.Length(), 3000, 150);
}

TEST_F(MoviePlayerTest, CloseRemovesThePicture) {
  OpenShown("rgb.mpeg");
  ASSERT_TRUE(WaitForHue(Hue::Red));
  player.Close();
  EXPECT_FALSE(player.IsOpen());
  EXPECT_TRUE(player.Frame().isNull());
  player.Seek(1000);  // ignored without a movie
  player.Play();
  EXPECT_FALSE(player.IsPlaying());
  player.Close();  // closing twice is harmless
}

TEST_F(MoviePlayerTest, DisplayRectangleSetsTheFrameSize) {
  OpenShown("rgb.mp4");
  ASSERT_TRUE(WaitForHue(Hue::Red));
  player.SetDisplayRect(QRect(0, 0, 401, 77));
  ASSERT_TRUE(test::WaitFor([&] { return player.Frame().size() == QSize(401, 77); }));
  // The movie fills the whole rectangle, corners included.
  const QImage frame = player.Frame();
  EXPECT_EQ(test::HueOf(frame.pixel(1, 1)), Hue::Red);
  EXPECT_EQ(test::HueOf(frame.pixel(399, 75)), Hue::Red);
}

TEST_F(MoviePlayerTest, PlayPauseResumeStop) {
  OpenShown("rgb.mp4");
  player.Play();
  EXPECT_TRUE(player.IsPlaying());
  EXPECT_TRUE(test::WaitFor([&] { return player.Position() > 300; }));
  player.PauseOrResume();
  EXPECT_FALSE(player.IsPlaying());
  const int paused_at = player.Position();
  EXPECT_FALSE(test::WaitFor([&] { return std::abs(player.Position() - paused_at) > 40; }, 200));
  player.PauseOrResume();
  EXPECT_TRUE(player.IsPlaying());
  player.Stop();
  EXPECT_FALSE(player.IsPlaying());
  player.PauseOrResume();  // a stopped movie stays stopped
  EXPECT_FALSE(player.IsPlaying());
}

TEST_F(MoviePlayerTest, PlayAtTheEndRewindsFirst) {
  OpenShown("rgb.avi");
  player.Seek(player.Length());
  player.Play();
  EXPECT_TRUE(test::WaitFor([&] { return !player.IsPlaying(); }));  // ran off the end
  ASSERT_TRUE(WaitForHue(Hue::Blue));
  player.Play();
  EXPECT_TRUE(WaitForHue(Hue::Red));
  EXPECT_LT(player.Position(), 1000);
}

}  // namespace
}  // namespace mw

namespace mw {
namespace {

// Movies that follow one another: each opens stopped, with none of the last one's picture.
class MovieSequenceTest : public ::testing::Test {
 protected:
  bool WaitForHue(test::Hue hue, int timeout_ms = 5000) {
    return test::WaitFor([&] { return test::CentreHue(player.Frame()) == hue; }, timeout_ms);
  }
  MoviePlayer player{Silent()};
};

TEST_F(MovieSequenceTest, MovieClosedWhilePlayingLeavesTheNextOneStopped) {
  ASSERT_TRUE(player.Open(test::MoviePath("rgb.mpg")));
  player.Play();
  ASSERT_TRUE(test::WaitFor([&] { return player.Position() > 100; }));
  player.Close();
  ASSERT_TRUE(player.Open(test::MoviePath("rgb.mp4")));
  player.Seek(1);
  const int start = player.Position();
  QTest::qWait(300);
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_LT(player.Position(), start + 50);
}

TEST_F(MovieSequenceTest, NextMovieNeverShowsTheLastOnesFrame) {
  ASSERT_TRUE(player.Open(test::MoviePath("rgb.mpg")));
  player.SetDisplayRect(QRect(0, 0, 160, 120));
  player.Seek(2500);
  ASSERT_TRUE(WaitForHue(test::Hue::Blue));
  ASSERT_TRUE(player.Open(test::MoviePath("rgb.avi")));
  player.SetDisplayRect(QRect(0, 0, 160, 120));
  for (int i = 0; i < 20; ++i) {
    EXPECT_NE(test::CentreHue(player.Frame()), test::Hue::Blue);
    QTest::qWait(5);
  }
  EXPECT_TRUE(WaitForHue(test::Hue::Red));
}

TEST_F(MovieSequenceTest, PlayAfterMovingToTheEndRewinds) {
  ASSERT_TRUE(player.Open(test::MoviePath("rgb.mp4")));
  player.Seek(player.Length());
  ASSERT_TRUE(test::WaitFor([&] { return player.Position() >= player.Length() - 50; }));
  player.Play();
  EXPECT_TRUE(player.IsPlaying());
  EXPECT_TRUE(test::WaitFor([&] { return player.Position() < player.Length() / 2; }))
      << player.Position();
}

TEST_F(MovieSequenceTest, OnlyRegularFilesAreOpened) {
  EXPECT_FALSE(player.Open(MW_TEST_DATA_DIR));
  EXPECT_FALSE(player.IsOpen());
}

// Clips that name other sources open as nothing at all: no request reaches the web
// server they name, and a pipe they name holds nothing up.
TEST_F(MovieSequenceTest, OpensLocalMovieFilesOnly) {
  test::LoopbackServer server;
  ASSERT_TRUE(server.Listening());
  test::TempFolder folder;
  const auto started = std::chrono::steady_clock::now();
  for (const std::string& clip : test::WriteHostileClips(folder.Path(), server.Url("")))
    EXPECT_FALSE(player.Open(clip)) << clip;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
  // A clip text that reads as a web address is the local file of that name.
  const std::filesystem::path current = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  const std::string address = server.Url("rgb.mpg");
  std::filesystem::create_directories(std::filesystem::path(address).parent_path());
  std::filesystem::copy_file(test::MoviePath("rgb.mpg"), address);
  EXPECT_TRUE(player.Open(address));
  std::filesystem::current_path(current);
  EXPECT_NEAR(player.Length(), 3000, 150);
  EXPECT_EQ(server.Requests(), 0);
}

}  // namespace
}  // namespace mw
