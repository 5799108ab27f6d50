// The clip display with its real widgets, real photos and real movies, offscreen.
#include "media/clip_display.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "clip_area_fixture.h"
#include "jpeg_fixtures.h"
#include "movie_fixtures.h"

namespace mw {
namespace {

using test::CentreHue;
using test::Hue;
using test::MoviePath;
using test::WaitFor;

class ClipDisplayTest : public test::ClipAreaTest {
 protected:
  std::string Photo(const std::string& name, int width = 640, int height = 480) {
    const std::string path = Path(name);
    test::WriteJpeg(path, width, height);
    return path;
  }
  // What the clip area shows at a point, as the screen would.
  QRgb ShownAt(int x, int y) { return panel1->grab().toImage().pixel(x, y); }
  bool WaitForMovieHue(Hue hue) {
    return WaitFor([&] { return CentreHue(panel1->Image1()->MovieFrame()) == hue; });
  }
  bool MovieControlsEnabled() const {
    return media_player1->isEnabled() && track_bar1->isEnabled();
  }
};

TEST_F(ClipDisplayTest, PhotoFillsTheWholeAreaWithoutKeepingItsShape) {
  QSignalSpy refresh(display.get(), &ClipDisplay::RefreshMarkPanels);
  EXPECT_EQ(display->ShowClip(Photo("wide.JPG", 800, 200)), ClipKind::PhotoClip);
  EXPECT_TRUE(display->ClipShown());
  EXPECT_EQ(refresh.count(), 1);
  EXPECT_FALSE(MovieControlsEnabled());
  EXPECT_TRUE(panel1->Image1()->isVisible());
  EXPECT_EQ(panel1->Image1()->geometry(), panel1->rect());
  // The quadrants reach the corners of the 320 x 240 area.
  EXPECT_EQ(test::HueOf(ShownAt(2, 2)), Hue::Red);
  EXPECT_EQ(test::HueOf(ShownAt(317, 2)), Hue::Green);
  EXPECT_EQ(test::HueOf(ShownAt(2, 237)), Hue::Blue);
}

TEST_F(ClipDisplayTest, CaptionShowsUntilAPictureCoversIt) {
  panel1->SetCaption("Welcome");
  EXPECT_FALSE(panel1->Image1()->isVisible());
  EXPECT_EQ(panel1->Caption(), "Welcome");
  display->ShowClip(Photo("a.jpeg"));
  EXPECT_TRUE(panel1->Image1()->isVisible());
}

TEST_F(ClipDisplayTest, EmptyPathLeavesEverythingAsItWas) {
  ASSERT_EQ(display->ShowClip(MoviePath("rgb.mpg")), ClipKind::MovieClip);
  const int seeks = display->Player().SeeksRequested();
  EXPECT_EQ(display->ShowClip(""), ClipKind::NoClip);
  EXPECT_FALSE(display->ClipShown());
  EXPECT_TRUE(display->Player().IsOpen());
  EXPECT_EQ(display->Player().SeeksRequested(), seeks);
  EXPECT_TRUE(MovieControlsEnabled());
}

TEST_F(ClipDisplayTest, MovieOpensStoppedAtPositionOneWithTheTrackBarSpanningIt) {
  track_bar1->setMaximum(10000);
  track_bar1->setValue(9000);
  QSignalSpy refresh(display.get(), &ClipDisplay::RefreshMarkPanels);
  ASSERT_EQ(display->ShowClip(MoviePath("rgb.avi")), ClipKind::MovieClip);
  EXPECT_TRUE(display->ClipShown());
  EXPECT_EQ(refresh.count(), 1);
  EXPECT_TRUE(MovieControlsEnabled());
  EXPECT_EQ(track_bar1->maximum(), display->Player().Length());
  EXPECT_NEAR(display->Player().Position(), 1, 40);  // a seek that landed: its frame's time
  EXPECT_FALSE(display->Player().IsPlaying());
  // Setting the range moved no movie: only the seek to position 1 was sent.
  EXPECT_EQ(display->Player().SeeksRequested(), 1);
  EXPECT_TRUE(WaitForMovieHue(Hue::Red));
}

TEST_F(ClipDisplayTest, MovingTheTrackBarWhileStoppedPaintsThatFrame) {
  ASSERT_EQ(display->ShowClip(MoviePath("rgb.mpeg")), ClipKind::MovieClip);
  ASSERT_TRUE(WaitForMovieHue(Hue::Red));
  track_bar1->setValue(1500);
  EXPECT_TRUE(WaitForMovieHue(Hue::Green));
  EXPECT_EQ(test::HueOf(ShownAt(160, 120)), Hue::Green);
  track_bar1->setValue(2600);
  EXPECT_TRUE(WaitForMovieHue(Hue::Blue));
  EXPECT_EQ(test::HueOf(ShownAt(5, 5)), Hue::Blue);
}

TEST_F(ClipDisplayTest, TimerStepCopiesThePositionWithoutSeeking) {
  ASSERT_EQ(display->ShowClip(MoviePath("rgb.mp4")), ClipKind::MovieClip);
  display->Player().Seek(2000);
  const int seeks = display->Player().SeeksRequested();
  bool syncing_seen = false;
  QObject::connect(track_bar1, &QSlider::valueChanged,
                   [&] { syncing_seen = display->SyncingPosition(); });
  display->MovieStep();
  EXPECT_EQ(track_bar1->value(), 2000);
  EXPECT_TRUE(syncing_seen);
  EXPECT_FALSE(display->SyncingPosition());
  display->Player().Play();
  ASSERT_TRUE(WaitFor([&] {
    display->MovieStep();
    return track_bar1->value() > 2300;
  }));
  EXPECT_EQ(display->Player().SeeksRequested(), seeks);
}

TEST_F(ClipDisplayTest, ArrowKeysOnTheTrackBarSeekTwice) {
  ASSERT_EQ(display->ShowClip(MoviePath("rgb.mpg")), ClipKind::MovieClip);
  display->Player().Seek(1000);
  display->MovieStep();
  const int seeks = display->Player().SeeksRequested();
  QTest::keyClick(track_bar1, Qt::Key_Right);
  // One seek of its own to position + 1, one from the track bar's own step.
  EXPECT_EQ(display->Player().SeeksRequested(), seeks + 2);
  EXPECT_EQ(track_bar1->value(), 1001);
  EXPECT_NEAR(display->Player().Position(), 1001, 40);  // the target, or its frame once landed
  QTest::keyClick(track_bar1, Qt::Key_Left);
  EXPECT_EQ(display->Player().SeeksRequested(), seeks + 4);
  EXPECT_NEAR(display->Player().Position(), 1000, 40);
  QTest::keyClick(track_bar1, Qt::Key_Up);  // other keys only move the track bar
  EXPECT_EQ(display->Player().SeeksRequested(), seeks + 5);
}

TEST_F(ClipDisplayTest, ResizingKeepsTheMovieFillingTheArea) {
  ASSERT_EQ(display->ShowClip(MoviePath("rgb.mp4")), ClipKind::MovieClip);
  ASSERT_TRUE(WaitForMovieHue(Hue::Red));
  QSignalSpy refresh(display.get(), &ClipDisplay::RefreshMarkPanels);
  panel1->resize(380, 150);
  EXPECT_GE(refresh.count(), 1);
  EXPECT_EQ(display->Player().DisplayRect(), QRect(0, 0, 380, 150));
  ASSERT_TRUE(WaitFor([&] { return panel1->Image1()->MovieFrame().size() == QSize(380, 150); }));
  EXPECT_EQ(test::HueOf(ShownAt(1, 1)), Hue::Red);
  EXPECT_EQ(test::HueOf(ShownAt(378, 148)), Hue::Red);
}

TEST_F(ClipDisplayTest, GrowingTheAreaDecodesThePhotoAgainSharper) {
  panel1->resize(100, 80);
  ASSERT_EQ(display->ShowClip(Photo("big.jpg", 1600, 1200)), ClipKind::PhotoClip);
  EXPECT_EQ(display->Photo().ScaleDenominator(), 8);
  panel1->resize(700, 500);
  EXPECT_EQ(display->Photo().ScaleDenominator(), 2);
  EXPECT_EQ(panel1->Image1()->Photo().size(), QSize(800, 600));
  EXPECT_EQ(test::HueOf(ShownAt(690, 5)), Hue::Green);
}

TEST_F(ClipDisplayTest, PhotoAfterMovieClosesTheMovie) {
  ASSERT_EQ(display->ShowClip(MoviePath("rgb.avi")), ClipKind::MovieClip);
  ASSERT_TRUE(WaitForMovieHue(Hue::Red));
  ASSERT_EQ(display->ShowClip(Photo("p.jpg")), ClipKind::PhotoClip);
  EXPECT_FALSE(display->Player().IsOpen());
  EXPECT_TRUE(panel1->Image1()->MovieFrame().isNull());
  EXPECT_FALSE(MovieControlsEnabled());
  EXPECT_EQ(test::HueOf(ShownAt(300, 5)), Hue::Green);
}

TEST_F(ClipDisplayTest, FailedPhotoLeavesTheScreenAsItWas) {
  ASSERT_EQ(display->ShowClip(MoviePath("rgb.mpg")), ClipKind::MovieClip);
  const std::string bad = Photo("bad.jpg");
  test::DamageFrameHeader(bad);
  EXPECT_EQ(display->ShowClip(bad), ClipKind::NoClip);
  EXPECT_FALSE(display->ClipShown());
  EXPECT_TRUE(display->Player().IsOpen());  // the movie stays open
  EXPECT_TRUE(MovieControlsEnabled());
  EXPECT_TRUE(WaitForMovieHue(Hue::Red));

  ASSERT_EQ(display->ShowClip(Photo("good.jpg")), ClipKind::PhotoClip);
  const QImage before = panel1->grab().toImage();
  EXPECT_EQ(display->ShowClip(bad), ClipKind::NoClip);
  EXPECT_EQ(display->ShowClip(dir.filePath("missing.jpg").toStdString()), ClipKind::NoClip);
  EXPECT_EQ(panel1->grab().toImage(), before);
  EXPECT_FALSE(MovieControlsEnabled());
}

TEST_F(ClipDisplayTest, FailedMovieClosesTheOldOneAndBringsBackThePhoto) {
  ASSERT_EQ(display->ShowClip(Photo("p.jpg")), ClipKind::PhotoClip);
  ASSERT_EQ(display->ShowClip(MoviePath("rgb.mpeg")), ClipKind::MovieClip);
  ASSERT_TRUE(WaitForMovieHue(Hue::Red));
  EXPECT_EQ(display->ShowClip(MoviePath("not_a_movie.mpg")), ClipKind::NoClip);
  EXPECT_FALSE(display->ClipShown());
  EXPECT_FALSE(display->Player().IsOpen());
  EXPECT_TRUE(panel1->Image1()->MovieFrame().isNull());
  EXPECT_TRUE(MovieControlsEnabled());                  // left as they were
  EXPECT_EQ(test::HueOf(ShownAt(300, 5)), Hue::Green);  // the photo again
}

TEST_F(ClipDisplayTest, ControlBarButtonsDriveTheMovie) {
  ASSERT_EQ(display->ShowClip(MoviePath("rgb.mp4")), ClipKind::MovieClip);
  MoviePlayer& player = display->Player();
  // Positions are the seek targets, or once a seek has landed its frame's time.
  media_player1->NextButton()->click();
  EXPECT_NEAR(player.Position(), player.Length(), 50);
  media_player1->PrevButton()->click();
  EXPECT_NEAR(player.Position(), 0, 40);
  media_player1->PlayButton()->click();
  EXPECT_TRUE(player.IsPlaying());
  media_player1->PauseButton()->click();
  EXPECT_FALSE(player.IsPlaying());
  media_player1->PauseButton()->click();
  EXPECT_TRUE(player.IsPlaying());
  media_player1->StopButton()->click();
  EXPECT_FALSE(player.IsPlaying());
}

TEST_F(ClipDisplayTest, OverlaysStayAboveThePictureAndMouseReachesThePanel) {
  auto* overlay = new QWidget(panel1);
  overlay->setGeometry(10, 10, 20, 20);
  overlay->setAutoFillBackground(true);
  overlay->setPalette(QPalette(Qt::yellow));
  overlay->show();
  ASSERT_EQ(display->ShowClip(Photo("p.jpg")), ClipKind::PhotoClip);
  EXPECT_EQ(ShownAt(20, 20), QColor(Qt::yellow).rgb());
  EXPECT_EQ(panel1->childAt(20, 20), overlay);

  QSignalSpy moved(panel1, &ClipPanel::MouseMoved);
  QSignalSpy pressed(panel1, &ClipPanel::MousePressed);
  QSignalSpy released(panel1, &ClipPanel::MouseReleased);
  QTest::mouseMove(panel1, QPoint(200, 150));
  QTest::mouseClick(panel1, Qt::RightButton, {}, QPoint(201, 151));
  ASSERT_GE(moved.count(), 1);
  EXPECT_EQ(moved.last().at(0).toPoint(), QPoint(200, 150));
  ASSERT_EQ(pressed.count(), 1);
  EXPECT_EQ(pressed.first().at(0).toPoint(), QPoint(201, 151));
  EXPECT_EQ(pressed.first().at(1).value<Qt::MouseButton>(), Qt::RightButton);
  EXPECT_EQ(released.count(), 1);
}

}  // namespace
}  // namespace mw
