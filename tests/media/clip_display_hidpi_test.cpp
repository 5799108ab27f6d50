// The clip area on a high-density screen: photos and movies at device pixels, the mouse in
// logical pixels. Run at the ratios the build registers it with (1, 1.5 and 2), and on two
// offscreen screens of different ratios.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "jpeg_fixtures.h"
#include "media/clip_display.h"
#include "media/device_pixels.h"
#include "movie_fixtures.h"

namespace mw {
namespace {

using test::MoviePath;
using test::WaitFor;

// The smallest halving scale that still covers `target`, as the decoder chooses it.
int ExpectedDenominator(QSize source, QSize target) {
  for (int denominator : {8, 4, 2}) {
    const int width = (source.width() + denominator - 1) / denominator;
    const int height = (source.height() + denominator - 1) / denominator;
    if (width >= target.width() && height >= target.height()) return denominator;
  }
  return 1;
}

// Counts the pixels of `shown` that are not clearly the line pattern's black or white.
int PixelsOffThePattern(const QImage& shown) {
  int wrong = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x) {
      const int grey = qGreen(shown.pixel(x, y));
      const bool white = test::LinePatternWhite(x, y, shown.height());
      if (white ? grey < 200 : grey > 55) ++wrong;
    }
  return wrong;
}

class HighDensityTest : public ::testing::Test {
 protected:
  HighDensityTest() {
    window.resize(420, 300);
    panel1 = new ClipPanel(&window);
    panel1->setGeometry(0, 0, 348, 243);  // odd, so that fractional ratios round
    media_player1 = new MovieControlBar(&window);
    track_bar1 = new QSlider(Qt::Horizontal, &window);
    track_bar1->setGeometry(0, 260, 300, 20);
    MoviePlayer::Options silent;
    silent.audio = false;
    display = std::make_unique<ClipDisplay>(panel1, media_player1, track_bar1, silent);
    window.show();
  }

  std::string Path(const char* name) { return dir.filePath(name).toStdString(); }
  qreal Ratio() const { return panel1->devicePixelRatioF(); }

  QTemporaryDir dir;
  QWidget window;
  ClipPanel* panel1;
  MovieControlBar* media_player1;
  QSlider* track_bar1;
  std::unique_ptr<ClipDisplay> display;
};

TEST_F(HighDensityTest, TargetSizeIsTheRoundedDeviceSize) {
  EXPECT_EQ(DeviceSize(QSize(696, 486), 2.0), QSize(1392, 972));
  EXPECT_EQ(DeviceSize(QSize(348, 243), 1.5), QSize(522, 365));
  EXPECT_EQ(DeviceSize(QSize(101, 7), 1.25), QSize(126, 9));
  EXPECT_EQ(PhotoTargetSize(*panel1), DeviceSize(QSize(348, 243), Ratio()));
  EXPECT_EQ(MovieTargetRect(*panel1), QRect(QPoint(0, 0), PhotoTargetSize(*panel1)));
}

TEST_F(HighDensityTest, PhotoOfTheDeviceSizeIsShownPixelForPixel) {
  const QSize device = PhotoTargetSize(*panel1);
  const std::string lines = Path("lines.jpg");
  test::WriteLineJpeg(lines, device.width(), device.height());
  ASSERT_EQ(display->ShowClip(lines), ClipKind::PhotoClip);
  EXPECT_EQ(display->Photo().ScaleDenominator(), 1);
  EXPECT_EQ(panel1->Image1()->Photo().size(), device);
  EXPECT_EQ(panel1->Image1()->Photo().devicePixelRatio(), Ratio());

  const QImage shown = panel1->grab().toImage();
  ASSERT_EQ(shown.size(), device);
  EXPECT_EQ(PixelsOffThePattern(shown), 0);
}

TEST_F(HighDensityTest, LargePhotoIsDecodedAtTheScaleThatCoversTheDevicePixels) {
  const std::string big = Path("big.jpg");
  test::WriteJpeg(big, 1600, 1200);
  ASSERT_EQ(display->ShowClip(big), ClipKind::PhotoClip);
  const QSize device = PhotoTargetSize(*panel1);
  EXPECT_EQ(display->Photo().ScaleDenominator(), ExpectedDenominator({1600, 1200}, device));
  const QImage shown = panel1->grab().toImage();
  ASSERT_EQ(shown.size(), device);
  // The quadrants land where they belong at device pixels: green top right, blue bottom left.
  EXPECT_EQ(test::HueOf(shown.pixel(device.width() - 3, 2)), test::Hue::Green);
  EXPECT_EQ(test::HueOf(shown.pixel(2, device.height() - 3)), test::Hue::Blue);
}

TEST_F(HighDensityTest, MovieIsRenderedAtTheDevicePixels) {
  ASSERT_EQ(display->ShowClip(MoviePath("rgb.mp4")), ClipKind::MovieClip);
  const QSize device = PhotoTargetSize(*panel1);
  ASSERT_TRUE(WaitFor([&] { return panel1->Image1()->MovieFrame().size() == device; }));
  const QImage shown = panel1->grab().toImage();
  EXPECT_EQ(shown.size(), device);
  EXPECT_EQ(test::HueOf(shown.pixel(device.width() - 2, device.height() - 2)), test::Hue::Red);
  panel1->resize(200, 101);
  ASSERT_TRUE(WaitFor([&] {
    return panel1->Image1()->MovieFrame().size() == DeviceSize(QSize(200, 101), Ratio());
  }));
}

TEST_F(HighDensityTest, MouseIsReportedInLogicalPixels) {
  QSignalSpy moved(panel1, &ClipPanel::MouseMoved);
  QSignalSpy pressed(panel1, &ClipPanel::MousePressed);
  QTest::mouseMove(panel1, QPoint(301, 207));
  QTest::mousePress(panel1, Qt::LeftButton, {}, QPoint(17, 230));
  ASSERT_FALSE(moved.isEmpty());
  ASSERT_EQ(pressed.count(), 1);
  EXPECT_EQ(moved.last().at(0).toPoint(), QPoint(301, 207));
  EXPECT_EQ(pressed.last().at(0).toPoint(), QPoint(17, 230));
}

QScreen* ScreenNamed(const char* name) {
  for (QScreen* screen : QGuiApplication::screens())
    if (screen->name() == QLatin1String(name)) return screen;
  return nullptr;
}

// Needs the two offscreen screens of tests/data/media/two_screens.json: ratio 1 and 2.
TEST_F(HighDensityTest, MovingToAScreenOfAnotherRatioDecodesAgain) {
  QScreen* ordinary = ScreenNamed("ordinary");
  QScreen* dense = ScreenNamed("dense");
  ASSERT_TRUE(ordinary && dense) << "run with the two-screen configuration";
  window.setScreen(ordinary);
  ASSERT_TRUE(WaitFor([&] { return Ratio() == 1.0; })) << Ratio();
  const std::string big = Path("big.jpg");
  test::WriteJpeg(big, 1600, 1200);
  ASSERT_EQ(display->ShowClip(big), ClipKind::PhotoClip);
  ASSERT_EQ(display->Photo().ScaleDenominator(), 4);

  QSignalSpy refresh(display.get(), &ClipDisplay::RefreshMarkPanels);
  window.setScreen(dense);
  ASSERT_TRUE(WaitFor([&] { return Ratio() == 2.0 && !refresh.isEmpty(); }));
  EXPECT_EQ(display->Photo().ScaleDenominator(), 2);
  EXPECT_EQ(panel1->Image1()->Photo().size(), QSize(800, 600));
  EXPECT_EQ(panel1->grab().toImage().size(), QSize(696, 486));
  // Marks stay where they were: the area keeps its logical size.
  EXPECT_EQ(panel1->size(), QSize(348, 243));
}

}  // namespace
}  // namespace mw
